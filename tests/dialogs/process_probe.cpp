// Writes its arguments, one a line, to a file named after its own path plus ".ran",
// so a test can tell which program was started and how.

#include <fstream>
#include <string>

int main(int argc, char** argv) {
  if (argc < 1) return 1;
  const std::string self = argv[0];
  std::ofstream ran(self + ".ran", std::ios::binary);
  for (int i = 1; i < argc; ++i) ran << argv[i] << '\n';
  return ran ? 0 : 1;
}
