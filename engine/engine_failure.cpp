#include "engine/engine_failure.h"

#include <exception>
#include <new>

namespace tessaly {

void ThrowSubscriptOutOfRange() {
  throw Failure(err::kSubscriptOutOfRange, "Subscript out of range");
}

Failure CaughtFailure() {
  try {
    throw;
  } catch (const Failure& failure) {
    return failure;
  } catch (const std::bad_alloc&) {
    return Failure(kOutOfMemory, "Out of memory");
  } catch (const std::exception& e) {
    return Failure(kInternalError, std::string("Internal error: ") + e.what());
  } catch (...) {
    return Failure(kInternalError, "Internal error");
  }
}

}  // namespace tessaly
