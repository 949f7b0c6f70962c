// Makes the calling thread's character type UTF-8 while it lives, whatever the process
// locale is. libarchive converts the archive's UTF-16 entry names to the thread's locale
// charset; under the "C" locale every non-ASCII character would be lost.
#pragma once

#include <clocale>

#include <locale.h>

namespace extract {

class ScopedUtf8Locale {
public:
    ScopedUtf8Locale() : m_locale(::newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t{})) {
        if (m_locale != locale_t{}) {
            m_previous = ::uselocale(m_locale);
        }
    }
    ~ScopedUtf8Locale() {
        if (m_locale != locale_t{}) {
            ::uselocale(m_previous);
            ::freelocale(m_locale);
        }
    }
    ScopedUtf8Locale(const ScopedUtf8Locale&) = delete;
    ScopedUtf8Locale& operator=(const ScopedUtf8Locale&) = delete;

private:
    locale_t m_locale;
    locale_t m_previous{};
};

}  // namespace extract
