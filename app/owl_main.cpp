#include "app/app.h"
#include "app/framework/owl_main.h"

int OwlMain(int, char*[]) {
  kelna::TApp app;
  return app.Run();
}
