#pragma once

#include "page/ClientCertificates.h"

class QWidget;

// Which certificate to send to host: the index in offered, or nothing to
// send none. Modal over owner.
std::optional<int> ExecuteClientCertificateChoice(QWidget* owner, const QString& host,
                                                  const QList<QSslCertificate>& offered);

// The password of a client certificate file; nothing when the user gives up.
std::optional<TClientCertificates::TPasswordAnswer> ExecuteCertificatePassword(QWidget* owner, const QString& file,
                                                                               bool retry);
