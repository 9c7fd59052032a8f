#pragma once

// Page 0: the database definition page.

#include "storage/jet_format.h"

namespace tessaly::jet {

// The header of a new, unencrypted Jet 4 database with code page 1252 and the
// General sort order (LANGID 0x0409), created at the given Jet date.
Page BuildHeaderPage(double creationDate);

// The header with its masked block unmasked, as readers see it.
Page UnmaskHeaderPage(const Page& stored);

// The current local time as a Jet date.
double JetDateNow();

// While alive, JetDateNow() answers `date`, so two files written apart can be
// compared byte for byte. One at a time.
class ScopedJetDate {
 public:
  explicit ScopedJetDate(double date);
  ~ScopedJetDate();
  ScopedJetDate(const ScopedJetDate&) = delete;
  ScopedJetDate& operator=(const ScopedJetDate&) = delete;
};

}  // namespace tessaly::jet
