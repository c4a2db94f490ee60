#pragma once

#include <QString>

// Subscriber numbers as operators type them and as networks present them. A Russian mobile
// number comes as "+7XXXXXXXXXX", "8XXXXXXXXXX" or "7XXXXXXXXXX": all three name one subscriber.
namespace PhoneNumber {

// "+" (first only) and digits, with at least one digit.
bool isValid(const QString &phone);
// The digits alone.
QString digits(const QString &phone);
// One of the three Russian forms above.
bool isRussian(const QString &phone);
// Both name the same subscriber: the Russian forms are one number; otherwise the last 10 digits
// decide when both have at least 10, and all digits when not.
bool sameSubscriber(const QString &a, const QString &b);
// The name a profile file from this sender gets (without ".bin"): the last 10 digits of a Russian
// number, all digits of any other, so two subscribers never share a file. Empty for a sender that
// is not a valid number.
QString fileKey(const QString &phone);

} // namespace PhoneNumber
