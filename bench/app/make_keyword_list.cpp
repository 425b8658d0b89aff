// Writes the benchmark's keyword list as UTF-8 lines: make-keyword-list N FILE

#include <cstdlib>
#include <fstream>
#include <iostream>

#include "bench/app/keyword_list.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: make-keyword-list LINES FILE\n";
    return 2;
  }
  std::ofstream out(argv[2], std::ios::binary);
  for (const auto& line : kv::bench::MakeKeywordLines(std::strtoul(argv[1], nullptr, 10), 0.3)) out << line << '\n';
  return out ? 0 : 1;
}
