// playerframes: the player's frames as pictures, for the README's animation
// (docs/make_player_pictures.sh).
//
//   playerframes WIDTH HEIGHT START STEP COUNT PREFIX
//
// writes COUNT binary PPM files PREFIX000.ppm, PREFIX001.ppm, ... of the
// animation at design times START, START + STEP, ... seconds.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "player/Spiral.h"
#include "runtime/Errors.h"

int main(int argc, char** argv) {
  if (argc != 7) {
    std::fprintf(stderr, "usage: playerframes WIDTH HEIGHT START STEP COUNT PREFIX\n");
    return 2;
  }
  const int32_t w = std::atoi(argv[1]), h = std::atoi(argv[2]), count = std::atoi(argv[5]);
  const double start = std::atof(argv[3]), step = std::atof(argv[4]);
  SpiralScene scene;
  try {
    SpiralSetUp(scene, w, h, SpiralScreenPlacement(w, h));
  } catch (const EMon& e) {
    std::fprintf(stderr, "playerframes: %s\n", e.what());
    return 1;
  }
  std::vector<uint8_t> frame(size_t(w) * h * 4), rgb(size_t(w) * h * 3);
  for (int32_t i = 0; i < count; ++i) {
    SpiralRender32(scene, start + i * step, frame.data(), w * 4);
    for (size_t p = 0; p < size_t(w) * h; ++p) {
      rgb[3 * p] = frame[4 * p + 2];
      rgb[3 * p + 1] = frame[4 * p + 1];
      rgb[3 * p + 2] = frame[4 * p];
    }
    char name[16];
    std::snprintf(name, sizeof name, "%03d.ppm", int(i));
    std::string path = std::string(argv[6]) + name;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
      std::fprintf(stderr, "playerframes: cannot write %s\n", path.c_str());
      return 1;
    }
    std::fprintf(f, "P6\n%d %d\n255\n", int(w), int(h));
    std::fwrite(rgb.data(), 1, rgb.size(), f);
    std::fclose(f);
  }
  return 0;
}
