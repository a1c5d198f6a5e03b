#pragma once

#include "TGLPanel.h"
#include "TMotionTimer.h"
#include "TVorlanForm.h"
#include "testing/ScriptedDialogs.h"

#include <QApplication>
#include <QImage>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

// A fresh, shown main window per test with every dialog scripted.
class FormTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        form = std::make_unique<TVorlanForm>(&dialogs);
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        // Focus changes (leaving the speed track bar) need an active window.
        form->activateWindow();
        (void)QTest::qWaitForWindowActive(form.get(), 1000);
        settle();
    }

    void TearDown() override { form.reset(); }

    // Lets pending paints, resizes and timers run.
    static void settle()
    {
        for (int i = 0; i < 3; ++i) {
            QApplication::processEvents();
            QTest::qWait(5);
        }
    }

    template <typename T> T* find(const char* name) const
    {
        T* w = form->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << "no control " << name;
        return w;
    }

    // The frame the view shows now, in device pixels.
    QImage frame() const { return form->glPanel()->grabFramebuffer().convertToFormat(QImage::Format_RGB32); }

    // Where a scene point (object transform at rest) lands in frame(), as the view projects it.
    QPoint project(float x, float y, float z) const;

    ScriptedDialogs dialogs;
    std::unique_ptr<TVorlanForm> form;
};

// A polygon for the list, in a colour or textured.
tElement quad(const char* name, std::initializer_list<float> corners, int r, int g, int b);
tElement texturedQuad(const char* name, std::initializer_list<float> corners, const char* texture);
tElement triangle(const char* name, std::initializer_list<float> corners, int r, int g, int b);

// A 24-bit bottom-up BMP whose rows come from the callback (row 0 is the bottom row).
bool writeBitmap(const QString& path, int width, int height,
                 const std::function<QColor(int x, int row)>& pixel);
