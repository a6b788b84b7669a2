#include "restore/picker/natural_order.h"

namespace rk {

namespace {

bool IsAsciiDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

} // namespace

QString NaturalOrderKey(const QString& text) {
    const QString folded = text.toCaseFolded();
    const QChar* chars = folded.constData();
    const qsizetype size = folded.size();
    // A run of L digits takes at most L + 1 + L / 9 characters: the key is
    // written into one buffer of twice the size, then cut to its length.
    QString key(2 * size + 1, Qt::Uninitialized);
    QChar* out = key.data();
    qsizetype at = 0;
    while (at < size) {
        if (!IsAsciiDigit(chars[at])) {
            *out++ = chars[at++];
            continue;
        }
        qsizetype end = at;
        while (end < size && IsAsciiDigit(chars[end]))
            ++end;
        // Leading zeros are dropped; a run of zeros keeps one.
        while (at < end - 1 && chars[at] == u'0')
            ++at;
        // The length: a '9' for each nine digits, then the rest as one digit.
        // No shorter length's code is a start of a longer one's, and the codes
        // sort as the lengths do.
        qsizetype length = end - at;
        for (; length >= 9; length -= 9)
            *out++ = u'9';
        *out++ = QChar(u'0' + static_cast<char16_t>(length));
        while (at < end)
            *out++ = chars[at++];
    }
    key.truncate(out - key.constData());
    return key;
}

} // namespace rk
