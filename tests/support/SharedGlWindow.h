// A test suite whose tests share one hidden OpenGL window, made once for the
// suite (a window and its context cost more than most of the tests). Tests
// are skipped with the reason when no window can be had.
#pragma once

#include <gtest/gtest.h>

#include "tests/support/GlTestWindow.h"

class SharedGlWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { window_ = new GlTestWindow(64, 64); }
    static void TearDownTestSuite() {
        delete window_;
        window_ = nullptr;
    }
    void SetUp() override {
        if (!window_->Ok()) GTEST_SKIP() << window_->Error();
    }
    static I3dDevice* Device() { return window_->Device(); }

    static inline GlTestWindow* window_ = nullptr;
};
