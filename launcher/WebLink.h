#pragma once
// Opening the maker's web site with the desktop's default handler, and the two messages that
// tell the user it failed.

#include <QString>
#include <optional>

#include "medium/Report.h"

class QWidget;

namespace launcher {

// Result codes as the old shell call gave them: above 32 success, 31 no program associated
// with the address, below 31 any other failure.
constexpr int kOpenSucceeded = 42;
constexpr int kNoAssociation = 31;
constexpr int kFileNotFound = 2;
constexpr int kAccessDenied = 5;

class WebOpener {
 public:
  virtual ~WebOpener() = default;
  virtual int Open(const QString& address, QWidget* owner) = 0;
};

class DesktopWebOpener : public WebOpener {
 public:
  int Open(const QString& address, QWidget* owner) override;
};

// The maker's address, a build setting.
QString MakerWebAddress();

// The message for a result, if any; the launcher keeps running either way.
std::optional<medium::Message> WebLinkMessage(int result, const QString& title,
                                              const QString& address);

}  // namespace launcher
