#include "welcome/SubscriptionUrl.h"

#include <QUrl>

QString subscriptionUrl(const QString& base, const QString& email, const QString& firstName)
{
    return base + QString::fromLatin1(QUrl::toPercentEncoding(email)) + QStringLiteral("&fname1=")
        + QString::fromLatin1(QUrl::toPercentEncoding(firstName));
}

QString subscriptionBase()
{
    return QStringLiteral(DA1011_SUBSCRIBE_URL);
}
