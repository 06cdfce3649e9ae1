#pragma once

#include "app/CaptureCoordinator.h"
#include "app/DeliveryPipeline.h"
#include "output/history/HistoryStore.h"
#include "recording/RecordingController.h"
#include "settings/AppSettings.h"
#include "support/Files.h"
#include "support/Images.h"
#include "support/TemporarySettings.h"
#include "support/fake/FakePlatform.h"
#include "support/fake/FakeRecorder.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>
#include <utility>

namespace zorv::test
{

struct OpenedEditor {
    QImage image;
    CaptureKind kind;
    std::optional<QString> fileName;
    std::optional<QUuid> historyItemID;
};

struct SelectionRequest {
    SelectionMode mode;
    bool windowMode;
    std::function<void(std::optional<SelectionOutcome>)> completion;
};

// The coordinator and its delivery on synthetic screens, temporary settings and
// history; overlay requests, pins, editors, toast messages and beeps are recorded.
struct CaptureWorld : ::testing::Test {
    void SetUp() override
    {
        platform.screen.windowList = {{5, QRectF(40, 30, 200, 120), "Notes", {}, 0, 0, true}};
        history = std::make_unique<HistoryStore>(temp.dir.filePath("history"), settings());
        const ToastFunction toast = [this](const QString &message, const QString &, double) {
            toasts.append(message);
        };
        DeliveryServices delivery;
        delivery.settings = &settings();
        delivery.history = [this]() -> HistoryStore & { return *history; };
        delivery.sound = &platform.player;
        delivery.copy = [this](const QImage &image) { copied.append(image); };
        delivery.offerPng = [this](const QImage &, const QByteArray &png) { offered.append(png); };
        delivery.beep = [this] { ++beeps; };
        delivery.toast = toast;
        delivery.now = [] { return QDateTime(QDate(2026, 3, 5), QTime(14, 7, 9)); };
        pipeline = std::make_unique<DeliveryPipeline>(delivery);

        CoordinatorServices services;
        services.platform = &platform;
        services.settings = &settings();
        services.delivery = pipeline.get();
        services.toast = toast;
        services.selectArea = [this](SelectionMode mode, bool windowMode, auto completion) {
            requests.append({mode, windowMode, std::move(completion)});
        };
        services.pin = [this](const QImage &image) { pinned.append(image); };
        services.extractText =
            [this](const QImage &image,
                   std::function<void(const std::optional<QString> &)> finished) {
                recognized.append(image);
                recognitionFinished.append(std::move(finished));
            };
        services.openEditor = [this](const QImage &image, CaptureKind kind,
                                     std::optional<QString> fileName, std::optional<QUuid> id) {
            editors.append({image, kind, std::move(fileName), id});
        };
        services.showQuickAccess = [this](QuickAccessPayload payload) {
            panels.append(std::move(payload));
        };
        services.hideQuickAccess = [this] { ++panelHides; };
        services.clearScreen = [this] { return std::exchange(panelOnScreen, false); };
        services.scrolling = makeScrolling(toast);
        RecordingServices recordingServices;
        recordingServices.recorder = &recorder;
        recordingServices.settings = &settings();
        recordingServices.screens = [] {
            return QList<RecordingScreen>{{QRectF(0, 0, 800, 600), QRectF(0, 0, 800, 600), 1}};
        };
        recordingServices.temporaryDirectory = temp.dir.path();
        recording = std::make_unique<RecordingController>(recordingServices);
        services.recording = [this]() -> RecordingController & { return *recording; };
        coordinator = std::make_unique<CaptureCoordinator>(services);
    }

    AppSettings &settings() { return *temp.settings; }

    // A scrolling capture whose page moves at every grab, ticked by hand; its
    // stitcher keeps the last frame.
    ScrollingCaptureController *makeScrolling(const ToastFunction &toast)
    {
        ScrollingCaptureServices services;
        services.grab = [this](const QRectF &rect, const ScrollingCaptureServices::GrabDone &done) {
            QImage image(rect.size().toSize(), QImage::Format_RGB32);
            image.fill(qRgb(++scrollGrabs * 20 % 256, 0, 0));
            done(image);
        };
        services.toast = toast;
        services.startTimer = [this](int, std::function<void()> tick) {
            scrollTick = std::move(tick);
            return [this] { scrollTick = {}; };
        };
        services.stitch = [](QList<QImage> frames)
            -> Expected<ScrollStitcher::Result, ScrollStitcher::StitchError> {
            return ScrollStitcher::Result{frames.last(), int(frames.size())};
        };
        scrolling = std::make_unique<ScrollingCaptureController>(std::move(services));
        return scrolling.get();
    }

    // Runs one delivery to its end (encoding happens off the main thread).
    Delivery deliverAndWait(const QImage &image)
    {
        std::optional<Delivery> done;
        pipeline->deliver(image, CaptureKind::screenshot, [&done](const Delivery &d) { done = d; });
        EXPECT_TRUE(QTest::qWaitFor([&done] { return done.has_value(); }, 5000));
        return done.value_or(Delivery{});
    }

    // Performs a command and waits for its end.
    CommandResult performAndWait(CaptureAction action)
    {
        std::optional<CommandResult> result;
        coordinator->perform(action, [&result](const CommandResult &r) { result = r; });
        EXPECT_TRUE(QTest::qWaitFor([&result] { return result.has_value(); }, 5000));
        return result.value_or(CommandResult{});
    }

    // Answers the last overlay request; the capture it delivered.
    QImage answer(std::optional<SelectionOutcome> outcome)
    {
        QSignalSpy delivered(coordinator.get(), &CaptureCoordinator::deliveryFinished);
        requests.last().completion(std::move(outcome));
        return delivered.wait(3000) ? QImage(delivered.first().first().toString()) : QImage();
    }

    TemporarySettings temp;
    FakePlatform platform;
    std::unique_ptr<HistoryStore> history;
    std::unique_ptr<DeliveryPipeline> pipeline;
    std::unique_ptr<ScrollingCaptureController> scrolling;
    FakeRecorder recorder;
    std::unique_ptr<RecordingController> recording;
    std::unique_ptr<CaptureCoordinator> coordinator;
    std::function<void()> scrollTick;
    int scrollGrabs = 0;
    QList<SelectionRequest> requests;
    QStringList toasts;
    QList<QImage> copied;
    QList<QByteArray> offered;
    QList<QImage> pinned;
    QList<QImage> recognized;
    QList<std::function<void(const std::optional<QString> &)>> recognitionFinished;
    QList<OpenedEditor> editors;
    QList<QuickAccessPayload> panels;
    int panelHides = 0;
    bool panelOnScreen = false; // a panel without a compositor: cleared before a capture
    int beeps = 0;
};

} // namespace zorv::test
