#pragma once
// Opening the maker's web site with the desktop's default handler, and the two messages that
// tell the user it failed.

#include <QString>
#include <functional>
#include <optional>

#include "medium/Report.h"

class QWidget;

namespace launcher {

// Result codes as the old shell call gave them: above 32 success, 31 no program associated
// with the address, below 31 any other failure (2: no opener to run, 0: the opener failed).
constexpr int kOpenSucceeded = 42;
constexpr int kNoAssociation = 31;
constexpr int kFileNotFound = 2;
constexpr int kOpenFailed = 0;

class WebOpener {
 public:
  using Done = std::function<void(int result)>;
  virtual ~WebOpener() = default;
  // Opens the address; done receives the result once it is known, at once or later on the
  // window's thread (never after owner is gone).
  virtual void Open(const QString& address, QWidget* owner, Done done) = 0;
};

// Hands the address to the desktop's opener (xdg-open on Linux) and judges by its exit status.
class DesktopWebOpener : public WebOpener {
 public:
  // opener: the opener program, by name or path; empty: the desktop's own.
  explicit DesktopWebOpener(QString opener = {});
  void Open(const QString& address, QWidget* owner, Done done) override;

 private:
  QString opener_;
};

// The result for an opener's exit: 0 opened, 3 no application for the address (as xdg-open
// reports it), anything else a failure.
int OpenerResult(bool crashed, int exitCode);

// The maker's address, a build setting.
QString MakerWebAddress();

// The message for a result, if any; the launcher keeps running either way.
std::optional<medium::Message> WebLinkMessage(int result, const QString& title,
                                              const QString& address);

}  // namespace launcher
