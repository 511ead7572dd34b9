/* The yardstick of the Windows log benchmark (docs/performance.md): what a minimal program
 * does to move a program's lines through an anonymous pipe into a file. THREADS threads
 * each write LINES lines of LENGTH bytes (CR LF included), one WriteFile a line, into the
 * pipe's write end; one thread reads the pipe, 64 KiB at a time, and writes what it read to
 * FILE. Prints the milliseconds from the first write until the reader has written the last
 * byte, and the bytes in the file.
 *
 *   pipe_reference THREADS LINES LENGTH FILE PIPE_SIZE
 */
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static HANDLE write_end;
static HANDLE file;
static long lines;
static size_t length;

static DWORD WINAPI write_lines(LPVOID argument) {
    const int thread = (int)(INT_PTR)argument;
    char* line = malloc(length);
    for (long i = 0; i < lines; ++i) {
        int head = snprintf(line, length, "out %d %ld ", thread, i);
        memset(line + head, '.', length - (size_t)head - 2);
        line[length - 2] = '\r';
        line[length - 1] = '\n';
        DWORD written = 0;
        WriteFile(write_end, line, (DWORD)length, &written, NULL);
    }
    free(line);
    return 0;
}

static DWORD WINAPI drain(LPVOID read_end) {
    static char buffer[64 * 1024];
    DWORD count = 0;
    while (ReadFile(read_end, buffer, sizeof buffer, &count, NULL) && count > 0) {
        DWORD written = 0;
        WriteFile(file, buffer, count, &written, NULL);
    }
    return 0;
}

int main(int argc, char** argv) {
    if (argc != 6) {
        fprintf(stderr, "usage: pipe_reference THREADS LINES LENGTH FILE PIPE_SIZE\n");
        return 2;
    }
    const int threads = atoi(argv[1]);
    lines = atol(argv[2]);
    length = (size_t)atol(argv[3]);
    HANDLE read_end;
    if (threads < 1 || threads > 64 || length < 32 ||
        !CreatePipe(&read_end, &write_end, NULL, (DWORD)atol(argv[5]))) {
        return 2;
    }
    file = CreateFileA(argv[4], GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        return 2;
    }
    LARGE_INTEGER frequency, began, ended, size;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&began);
    HANDLE reader = CreateThread(NULL, 0, drain, read_end, 0, NULL);
    HANDLE writers[64];
    for (int t = 0; t < threads; ++t) {
        writers[t] = CreateThread(NULL, 0, write_lines, (LPVOID)(INT_PTR)t, 0, NULL);
    }
    WaitForMultipleObjects((DWORD)threads, writers, TRUE, INFINITE);
    CloseHandle(write_end);
    WaitForSingleObject(reader, INFINITE);
    QueryPerformanceCounter(&ended);
    GetFileSizeEx(file, &size);
    printf("%.1f %lld\n",
           (double)(ended.QuadPart - began.QuadPart) * 1000.0 / (double)frequency.QuadPart,
           (long long)size.QuadPart);
    return 0;
}
