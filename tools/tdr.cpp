// The tdr command-line tool.
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  if (argc < 2 || !std::strcmp(argv[1], "--help")) {
    std::printf("usage: tdr <command> [arguments]\n");
    return argc < 2 ? 2 : 0;
  }
  std::fprintf(stderr, "tdr: unknown command '%s'\n", argv[1]);
  return 2;
}
