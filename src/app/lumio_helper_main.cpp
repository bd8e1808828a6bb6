// lumio-helper: the program the engine starts for each secondary process
// (renderer, GPU, utility). Hands control to the engine at once.
#include <memory>

#include "app/orbit_app.h"
#include "engine/engine.h"

int main(int argc, char** argv) {
  auto app = std::make_shared<OrbitApp>();
  return engine::ExecuteProcess(argc, argv, app);
}
