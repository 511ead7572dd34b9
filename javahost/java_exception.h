// Java's names as orvo writes them in its lines, and the exceptions that name them.
#pragma once

#include <jni.h>

#include <string>

// `text` in UTF-8. Java strings are UTF-16; a character beyond the basic plane becomes one
// four-byte sequence (the VM's modified UTF-8 would write its two surrogates apart), and a
// surrogate without its partner becomes U+FFFD.
std::string utf8_of_utf16(const std::u16string& text);

// The Java string `text` in UTF-8, as utf8_of_utf16; empty for null.
std::string utf8_of(JNIEnv* env, jstring text);

// Has the Java VM describe `thrown` (its trace, on standard error) and returns the name
// of its class as Class.getName() gives it, in UTF-8, or "an exception" when the VM cannot
// tell. Call it with no exception pending; none is pending afterwards.
std::string describe_thrown(JNIEnv* env, jthrowable thrown);
