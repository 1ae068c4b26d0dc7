#include "launcher/WebLink.h"

#include <QDesktopServices>
#include <QStandardPaths>
#include <QUrl>

#ifndef MAKER_WEB_ADDRESS
#define MAKER_WEB_ADDRESS "https://www.example.com/"
#endif

namespace launcher {

QString MakerWebAddress() {
  return QStringLiteral(MAKER_WEB_ADDRESS);
}

int DesktopWebOpener::Open(const QString& address, QWidget* /*owner*/) {
  const QUrl url(address, QUrl::StrictMode);
  if (!url.isValid() || url.scheme().isEmpty()) return kFileNotFound;
  if (QDesktopServices::openUrl(url)) return kOpenSucceeded;
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
  // The desktop hands web addresses to xdg-open; without it nothing is associated with them.
  if (QStandardPaths::findExecutable(QStringLiteral("xdg-open")).isEmpty()) return kNoAssociation;
#endif
  return kAccessDenied;
}

std::optional<medium::Message> WebLinkMessage(int result, const QString& title,
                                              const QString& address) {
  const QString caption = QStringLiteral("Browser Unavailable");
  if (result < kNoAssociation) {
    return medium::Message{
        caption,
        title + QStringLiteral(" had a problem running your web browser.") +
            QStringLiteral("Please check that your browser is properly installed."),
        medium::MessageIcon::Exclamation};
  }
  if (result == kNoAssociation) {
    return medium::Message{
        caption,
        title + QStringLiteral(" could not find a file association for ") + address +
            QStringLiteral(". Please check that your browser is properly installed") +
            QStringLiteral("and associated with this file type."),
        medium::MessageIcon::Exclamation};
  }
  return std::nullopt;
}

}  // namespace launcher
