// Builds the subscription address from arbitrary field texts (the input split at its first
// NUL byte into e-mail address and first name). The address must keep its two keys in order,
// carry no raw '&', '#', space, control or non-ASCII character from a field, and give back
// exactly what was typed when decoded.
#include "welcome/SubscriptionUrl.h"

#include <QUrl>

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const qsizetype split = input.indexOf('\0');
    const QString email = QString::fromUtf8(split < 0 ? input : input.left(split));
    const QString firstName = split < 0 ? QString() : QString::fromUtf8(input.mid(split + 1));

    const QString base
        = QStringLiteral("http://www.quorvel.example/quorvelweekly/subscribe.cgi?email=");
    const QString url = subscriptionUrl(base, email, firstName);
    check(url.startsWith(base));
    const QString query = url.mid(base.size());
    const qsizetype separator = query.indexOf(QStringLiteral("&fname1="));
    check(separator >= 0);
    const QString emailPart = query.left(separator);
    const QString namePart = query.mid(separator + 8);
    for (const QString& part : {emailPart, namePart}) {
        for (const QChar c : part) {
            const char16_t u = c.unicode();
            check(u > 0x20 && u < 0x7f && u != '&' && u != '#' && u != '=' && u != '+');
        }
    }
    check(QUrl::fromPercentEncoding(emailPart.toLatin1()) == email);
    check(QUrl::fromPercentEncoding(namePart.toLatin1()) == firstName);
    return 0;
}
