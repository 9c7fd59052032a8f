// The common controls are registered once, and COM joined, as the program does at
// start.

#include <gtest/gtest.h>

#include "winui/common_controls.h"

#include "outlook/com_apartment.h"

int main(int argc, char** argv) {
  const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX),
                                      ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  const tessaly::outlook::ComApartment apartment;
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
