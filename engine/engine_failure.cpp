#include "engine/engine_failure.h"

#include <exception>
#include <new>

namespace tessaly {

void ThrowSubscriptOutOfRange() {
  throw Failure(err::kSubscriptOutOfRange, "Subscript out of range");
}

void ReportCaught(Reporter& reporter, Icon icon) {
  try {
    throw;
  } catch (const Failure& failure) {
    ReportFailure(reporter, failure, icon);
  } catch (const std::bad_alloc&) {
    ReportFailure(reporter, Failure(kOutOfMemory, "Out of memory"), icon);
  } catch (const std::exception& e) {
    ReportFailure(reporter, Failure(kInternalError, std::string("Internal error: ") + e.what()),
                  icon);
  } catch (...) {
    ReportFailure(reporter, Failure(kInternalError, "Internal error"), icon);
  }
}

}  // namespace tessaly
