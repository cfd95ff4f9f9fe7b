#include "engine/engine.h"

int main() {
  IgnoreInterrupts();
  OpenLog();
  EngineState = Force;
  PonderEnabled = true;
  if (!Startup()) return 0;
  CommandLoop();
  CloseLog();
  return 0;
}
