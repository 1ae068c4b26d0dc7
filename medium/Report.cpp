#include "Report.h"

#include <new>

namespace medium {

QString DescribeCurrentException() {
  try {
    throw;
  } catch (const AppError& e) {
    return e.description();
  } catch (const std::bad_alloc&) {
    return QStringLiteral("Out of memory");
  } catch (const std::exception& e) {
    return QString::fromLocal8Bit(e.what());
  } catch (...) {
    return QStringLiteral("Unexpected error");
  }
}

void LastResortReport(Reporter& reporter, const AppError& error) {
  reporter.Show(Message{
      reporter.Title(),
      QStringLiteral("Run-time error '%1':\n\n%2").arg(error.number()).arg(error.description()),
      MessageIcon::Critical});
}

}  // namespace medium
