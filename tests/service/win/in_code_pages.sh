#!/bin/sh
# Runs Windows test programs under Wine once in each of several ANSI code pages, in a Wine
# prefix of its own. Wine takes a process's ANSI code page from its Unix locale, and a
# service's from that of the process that started the prefix's Wine session: each run
# starts a session of its own, with the locale of its code page made by localedef into
# LOCALES (the machine need not have it), and ends it before the next one. The programs
# learn the code page they should find from ORVO_TEST_CODE_PAGE.
#
#   in_code_pages.sh WINE_RUN PREFIX LOCALES "LOCALE=CODE_PAGE ..." PROGRAM.exe...
#
# A locale's character set must be UTF-8: Wine names Unix files in it.
set -eu

if [ $# -lt 5 ]; then
    echo "usage: in_code_pages.sh WINE_RUN PREFIX LOCALES \"LOCALE=CODE_PAGE ...\" PROGRAM.exe..." >&2
    exit 2
fi
wine_run=$1
prefix=$2
locales=$3
pairs=$4
shift 4

mkdir -p "$locales"
for pair in $pairs; do
    locale=${pair%%=*}
    code_page=${pair#*=}
    case $locale in
    C.* | POSIX) ;; # always there
    *)
        if [ ! -d "$locales/$locale" ]; then
            localedef -i "${locale%%.*}" -f "${locale#*.}" "$locales/$locale.tmp"
            mv "$locales/$locale.tmp" "$locales/$locale"
        fi
        ;;
    esac
    echo "=== $locale (code page $code_page)"
    WINEPREFIX=$prefix wineserver -w
    for program in "$@"; do
        LOCPATH=$locales LC_ALL=$locale ORVO_TEST_CODE_PAGE=$code_page \
            "$wine_run" "$prefix" "$program"
    done
    WINEPREFIX=$prefix wineserver -w
done
