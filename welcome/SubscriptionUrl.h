#pragma once

#include <QString>

// The subscription request's address: the publisher's address up to "?email=", the e-mail
// address, "&fname1=" and the first name. Both values are percent-encoded as UTF-8 (all but
// A-Z a-z 0-9 - . _ ~), so whatever the reader typed reaches the server as typed.
QString subscriptionUrl(const QString& base, const QString& email, const QString& firstName);

// The publisher's address compiled into the program.
QString subscriptionBase();
