#include "javahost/java_exception.h"

namespace {

void append_utf8(char32_t code, std::string& out) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

bool is_high_surrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool is_low_surrogate(char16_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// The name of the class of `thrown`, dotted as Class.getName() gives it; empty when the VM
// cannot tell. Whatever the lookup throws is discarded: it says nothing of the program.
std::string class_name_of(JNIEnv* env, jthrowable thrown) {
    const jclass type = env->GetObjectClass(thrown);
    const jclass class_class = type != nullptr ? env->FindClass("java/lang/Class") : nullptr;
    const jmethodID get_name =
        class_class != nullptr ? env->GetMethodID(class_class, "getName", "()Ljava/lang/String;")
                               : nullptr;
    const auto text =
        get_name != nullptr ? static_cast<jstring>(env->CallObjectMethod(type, get_name)) : nullptr;
    std::string name;
    if (text != nullptr && !env->ExceptionCheck()) {
        name = utf8_of(env, text);
    }
    env->ExceptionClear();
    return name;
}

} // namespace

std::string utf8_of_utf16(const std::u16string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        if (is_high_surrogate(unit) && i + 1 < text.size() && is_low_surrogate(text[i + 1])) {
            append_utf8(0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) +
                            (static_cast<char32_t>(text[i + 1]) - 0xDC00),
                        out);
            ++i;
        } else if (is_high_surrogate(unit) || is_low_surrogate(unit)) {
            append_utf8(0xFFFD, out);
        } else {
            append_utf8(unit, out);
        }
    }
    return out;
}

std::string utf8_of(JNIEnv* env, jstring text) {
    if (text == nullptr) {
        return std::string();
    }
    std::u16string units(static_cast<std::size_t>(env->GetStringLength(text)), u'\0');
    env->GetStringRegion(text, 0, static_cast<jsize>(units.size()),
                         reinterpret_cast<jchar*>(units.data()));
    return utf8_of_utf16(units);
}

std::string describe_thrown(JNIEnv* env, jthrowable thrown) {
    std::string name = class_name_of(env, thrown);
    env->Throw(thrown);
    env->ExceptionDescribe();
    return name.empty() ? "an exception" : name;
}
