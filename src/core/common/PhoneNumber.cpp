#include "core/common/PhoneNumber.h"

namespace PhoneNumber {

namespace {
constexpr int kSubscriberDigits = 10;
}

QString normalized(const QString &typed)
{
    QString out;
    for (const QChar c : typed.trimmed()) {
        if (c != QLatin1Char(' ') && c != QLatin1Char('-') && c != QLatin1Char('(') && c != QLatin1Char(')')
            && c != QChar(0x00A0))
            out.append(c);
    }
    return out;
}

QString problem(const QString &typed)
{
    const QString number = normalized(typed);
    const qsizetype count = digits(number).size();
    return !isValid(number) || count < MinDigits || count > MaxDigits ? expected() : QString();
}

QString expected()
{
    return QStringLiteral("нужно от %1 до %2 цифр, впереди может стоять +; пробелы, дефисы и скобки допустимы")
        .arg(MinDigits)
        .arg(MaxDigits);
}

bool isValid(const QString &phone)
{
    bool digit = false;
    for (qsizetype i = 0; i < phone.size(); ++i) {
        const char16_t c = phone.at(i).unicode();
        if (c >= u'0' && c <= u'9')
            digit = true;
        else if (!(i == 0 && c == u'+'))
            return false;
    }
    return digit;
}

QString digits(const QString &phone)
{
    QString out;
    for (QChar c : phone) {
        if (c >= u'0' && c <= u'9')
            out += c;
    }
    return out;
}

bool isRussian(const QString &phone)
{
    if (!isValid(phone))
        return false;
    const QString d = digits(phone);
    if (d.size() != kSubscriberDigits + 1)
        return false;
    if (phone.startsWith(QLatin1Char('+')))
        return d.front() == u'7';
    return d.front() == u'7' || d.front() == u'8';
}

bool sameSubscriber(const QString &a, const QString &b)
{
    if (!isValid(a) || !isValid(b))
        return false;
    const QString da = digits(a);
    const QString db = digits(b);
    if (da.size() >= kSubscriberDigits && db.size() >= kSubscriberDigits)
        return da.right(kSubscriberDigits) == db.right(kSubscriberDigits);
    return da == db;
}

QString fileKey(const QString &phone)
{
    if (!isValid(phone))
        return {};
    const QString d = digits(phone);
    return isRussian(phone) ? d.right(kSubscriberDigits) : d;
}

} // namespace PhoneNumber
