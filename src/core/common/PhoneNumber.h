#pragma once

#include <QString>

// Subscriber numbers as operators type them and as networks present them. A Russian mobile
// number comes as "+7XXXXXXXXXX", "8XXXXXXXXXX" or "7XXXXXXXXXX": all three name one subscriber.
namespace PhoneNumber {

constexpr int MinDigits = 3;
constexpr int MaxDigits = 20;

// "+" (first only) and digits, with at least one digit: a sender as a network presents it.
bool isValid(const QString &phone);
// A number as people write it ("+7 916 123-45-67", "8(916)123-45-67") in the one form the system
// keeps and sends: surrounding space, and the spaces, dashes and brackets inside, go.
QString normalized(const QString &typed);
// Why a number typed by the operator (normalized first) cannot be sent to or kept: "" when it can.
// "+" first only, then MinDigits to MaxDigits digits.
QString problem(const QString &typed);
// What problem() says: the numbers the system takes.
QString expected();
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
