#include "precompiler/checker/IntegerText.h"

#include <limits>

IntegerText::IntegerText(const QString& text) {
    int i = 0;
    if (i < text.size() && text[i] == QLatin1Char('-')) {
        m_negative = true;
        ++i;
    }
    if (i == text.size()) {
        return;
    }
    const std::uint64_t max = std::numeric_limits<std::uint64_t>::max();
    for (; i < text.size(); ++i) {
        const ushort c = text[i].unicode();
        if (c < '0' || c > '9') {
            return;
        }
        const std::uint64_t digit = c - '0';
        if (m_magnitude > (max - digit) / 10) {
            m_tooLarge = true;
        } else if (!m_tooLarge) {
            m_magnitude = m_magnitude * 10 + digit;
        }
    }
    m_valid = true;
    if (m_magnitude == 0 && !m_tooLarge) {
        m_negative = false;
    }
}

bool IntegerText::below(std::uint64_t lowerMagnitude) const {
    return m_negative && (m_tooLarge || m_magnitude > lowerMagnitude);
}

bool IntegerText::above(std::uint64_t upper) const {
    return !m_negative && (m_tooLarge || m_magnitude > upper);
}

QString IntegerText::canonical() const {
    const QString digits = QString::number(static_cast<qulonglong>(m_magnitude));
    return m_negative ? QLatin1Char('-') + digits : digits;
}
