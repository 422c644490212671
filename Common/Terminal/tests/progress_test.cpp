#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "ProgressBar.h"

using orv::ProgressBar;

TEST(ProgressBar, RenderFitsTheWidth) {
  EXPECT_EQ(ProgressBar::Render("Loading", 5, 10, 60), "Loading [##########..........] 50%");
  EXPECT_EQ(ProgressBar::Render("Loading", 20, 10, 60), "Loading [####################] 100%");
  EXPECT_EQ(ProgressBar::Render("Loading", 7, 0, 60), "Loading 7");
  EXPECT_EQ(ProgressBar::Render("A very long step text", 1, 4, 30).size(), 30u);
}

TEST(ProgressBar, DrawsAfterTheDelayAndWipesItself) {
  char* buf = nullptr;
  size_t size = 0;
  std::FILE* f = open_memstream(&buf, &size);
  {
    ProgressBar bar(std::chrono::milliseconds(0), f);
    bar.Update("Step", 1, 2);
    bar.Finish();
  }
  std::fclose(f);
  const std::string out(buf, size);
  free(buf);
  EXPECT_NE(out.find("Step [##########..........] 50%"), std::string::npos);
  EXPECT_EQ(out.back(), '\r');
}

TEST(ProgressBar, SilentBeforeTheDelay) {
  char* buf = nullptr;
  size_t size = 0;
  std::FILE* f = open_memstream(&buf, &size);
  {
    ProgressBar bar(std::chrono::hours(1), f);
    bar.Update("Step", 1, 2);
  }
  std::fclose(f);
  EXPECT_EQ(size, 0u);
  free(buf);
}
