#include "desk/DeskTestSupport.h"

using desk_test::DeskTest;

TEST_F(DeskTest, Smoke) {
  start(false, 2.0f);
  stroke(onPage(100, 100), onPage(250, 180));
  gfx::writePNG("/tmp/desk_smoke.png", host->screenshot());
}
