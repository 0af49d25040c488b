#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/foundation/Clock.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/InputStream.h"
#include "platform/foundation/OutputStream.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/StreamDelegate.h"
#include "tests/support/TestHome.h"

namespace clipora::platform {
namespace {

namespace fs = std::filesystem;

Data bytesOf(const std::string& text) { return Data(text.begin(), text.end()); }

class FileManagerTest : public test::PlatformTest {};

TEST_F(FileManagerTest, HomeFoldersFollowTheHomeAndAreMadeOnDemand) {
    EXPECT_EQ(FileManager::homeDirectory(), home().string());
    fs::remove_all(home() / "Documents");
    fs::remove_all(home() / "Library");
    fs::remove_all(home() / "tmp");

    EXPECT_EQ(FileManager::documentsDirectory(), (home() / "Documents").string());
    EXPECT_EQ(FileManager::cachesDirectory(), (home() / "Library" / "Caches").string());
    EXPECT_EQ(FileManager::preferencesDirectory(), (home() / "Library" / "Preferences").string());
    EXPECT_EQ(FileManager::temporaryDirectory(), (home() / "tmp").string());
    for (const char* sub : {"Documents", "Library/Caches", "Library/Preferences", "tmp"})
        EXPECT_TRUE(fs::is_directory(home() / sub)) << sub;
}

TEST_F(FileManagerTest, ANamedHomeIsFollowedAtOnceAndGivesBackThePreviousOne) {
    const fs::path other = home() / "elsewhere";
    const auto previous = FileManager::setHomeDirectory(other.string());
    EXPECT_EQ(previous, home().string());
    EXPECT_EQ(FileManager::homeDirectory(), other.string());
    EXPECT_EQ(FileManager::documentsDirectory(), (other / "Documents").string());
    EXPECT_TRUE(fs::is_directory(other / "Documents"));

    // An empty name means none (the environment's home would answer).
    EXPECT_EQ(FileManager::setHomeDirectory(std::string()), other.string());
    EXPECT_EQ(FileManager::setHomeDirectory(previous), std::nullopt);
    EXPECT_EQ(FileManager::homeDirectory(), home().string());
}

TEST_F(FileManagerTest, CreatesDirectoriesWithAndWithoutIntermediates) {
    fs::path deep = home() / "a" / "b" / "c";
    std::optional<Error> error;
    EXPECT_FALSE(FileManager::createDirectory(deep, false, &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain(), Error::kPOSIXErrorDomain);
    EXPECT_EQ(error->code(), ENOENT);

    EXPECT_TRUE(FileManager::createDirectory(deep, true));
    EXPECT_TRUE(FileManager::isDirectory(deep));
    EXPECT_TRUE(FileManager::createDirectory(deep, true));  // existing folder: fine with intermediates

    error.reset();
    EXPECT_FALSE(FileManager::createDirectory(deep, false, &error));  // but not without
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), EEXIST);

    EXPECT_TRUE(FileManager::createDirectory(home() / "a" / "single", false));
}

TEST_F(FileManagerTest, WritesReadsListsAndDescribesFiles) {
    fs::path folder = home() / "Documents";
    ASSERT_TRUE(FileManager::writeData(folder / "b.txt", bytesOf("second")));
    ASSERT_TRUE(FileManager::writeData(folder / "a.txt", bytesOf("first!"), false));
    ASSERT_TRUE(FileManager::createFile(folder / "empty"));

    EXPECT_EQ(FileManager::contentsOfFile(folder / "a.txt"), bytesOf("first!"));
    EXPECT_EQ(FileManager::contentsOfFile(folder / "empty"), Data());
    EXPECT_EQ(FileManager::contentsOfDirectory(folder), (std::vector<std::string>{"a.txt", "b.txt", "empty"}));

    auto attributes = FileManager::attributesOfItem(folder / "b.txt");
    ASSERT_TRUE(attributes);
    EXPECT_EQ(attributes->size, 6u);
    EXPECT_FALSE(attributes->isDirectory);
    // The modification date is the file system's (real) time, not the test clock's.
    EXPECT_LT(std::abs(attributes->modificationDate.timeIntervalSince(Clock::systemNow())), 60.0);
    EXPECT_EQ(FileManager::fileSize(folder / "a.txt"), 6u);
    EXPECT_TRUE(FileManager::attributesOfItem(folder)->isDirectory);
}

TEST_F(FileManagerTest, FailuresCarryPosixErrorsWithThePath) {
    fs::path missing = home() / "nothing" / "here";
    std::optional<Error> error;
    EXPECT_FALSE(FileManager::contentsOfFile(missing, &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain(), Error::kPOSIXErrorDomain);
    EXPECT_EQ(error->code(), ENOENT);
    const Value* path = nullptr;
    if (auto it = error->userInfo().find(Error::kFilePathKey); it != error->userInfo().end()) path = &it->second;
    ASSERT_TRUE(path);
    EXPECT_EQ(*path, Value(missing.string()));

    error.reset();
    EXPECT_FALSE(FileManager::removeItem(missing, &error));
    EXPECT_EQ(error->code(), ENOENT);
    error.reset();
    EXPECT_FALSE(FileManager::contentsOfFile(home(), &error));
    EXPECT_EQ(error->code(), EISDIR);
    error.reset();
    EXPECT_FALSE(FileManager::contentsOfDirectory(missing, &error));
    EXPECT_EQ(error->code(), ENOENT);
    EXPECT_FALSE(FileManager::writeData(missing, bytesOf("x")));
    EXPECT_FALSE(FileManager::attributesOfItem(missing));
}

TEST_F(FileManagerTest, MovesCopiesAndRemovesWithoutOverwriting) {
    fs::path source = home() / "src";
    ASSERT_TRUE(FileManager::createDirectory(source / "inner", true));
    ASSERT_TRUE(FileManager::writeData(source / "inner" / "f", bytesOf("data")));

    EXPECT_TRUE(FileManager::copyItem(source, home() / "copy"));
    EXPECT_EQ(FileManager::contentsOfFile(home() / "copy" / "inner" / "f"), bytesOf("data"));

    std::optional<Error> error;
    EXPECT_FALSE(FileManager::moveItem(source, home() / "copy", &error));
    EXPECT_EQ(error->code(), EEXIST);
    error.reset();
    EXPECT_FALSE(FileManager::copyItem(source, home() / "copy", &error));
    EXPECT_EQ(error->code(), EEXIST);

    EXPECT_TRUE(FileManager::moveItem(source, home() / "moved"));
    EXPECT_FALSE(FileManager::fileExists(source));
    EXPECT_TRUE(FileManager::fileExists(home() / "moved" / "inner" / "f"));

    EXPECT_TRUE(FileManager::removeItem(home() / "moved"));
    EXPECT_FALSE(FileManager::fileExists(home() / "moved"));
}

// Two stores set aside within one second both stay: neither copy replaces
// the other.
TEST_F(FileManagerTest, AStoreSetAsideKeepsEveryEarlierCopy) {
    const fs::path store = home() / "Store";
    const std::string stamp = std::to_string(static_cast<long long>(Clock::now().timeIntervalSince1970()));
    std::vector<fs::path> aside;
    for (const char* bytes : {"first", "second"}) {
        ASSERT_TRUE(FileManager::writeData(store, bytesOf(bytes)));
        auto moved = FileManager::moveItemAside(store);
        ASSERT_TRUE(moved);
        EXPECT_FALSE(FileManager::fileExists(store));
        EXPECT_EQ(FileManager::contentsOfFile(*moved), bytesOf(bytes));
        aside.push_back(*moved);
    }
    EXPECT_EQ(aside[0], fs::path(store.string() + ".unreadable-" + stamp));
    EXPECT_EQ(aside[1], fs::path(store.string() + ".unreadable-" + stamp + "-2"));
    std::optional<Error> error;
    EXPECT_FALSE(FileManager::moveItemAside(store, &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), ENOENT);
}

std::vector<std::string> entriesOf(const fs::path& folder) { return *FileManager::contentsOfDirectory(folder); }

TEST_F(FileManagerTest, AtomicWriteReplacesWholeOrNotAtAll) {
    fs::path folder = home() / "Documents";
    fs::path target = folder / "list";
    const Data first(512 * 1024, 'a');
    const Data second(256 * 1024, 'b');
    ASSERT_TRUE(FileManager::writeData(target, first));

    // A reader never sees a mixture or a short file while writers replace it.
    std::atomic<bool> done{false};
    std::atomic<int> torn{0};
    std::thread reader([&] {
        while (!done) {
            auto contents = FileManager::contentsOfFile(target);
            if (!contents || !(*contents == first || *contents == second)) ++torn;
        }
    });
    for (int i = 0; i < 40; ++i) ASSERT_TRUE(FileManager::writeData(target, i % 2 ? first : second));
    done = true;
    reader.join();
    EXPECT_EQ(torn.load(), 0);
    EXPECT_EQ(entriesOf(folder), std::vector<std::string>{"list"});  // no temporary left behind

    // A write that cannot complete leaves the old contents and no temporary.
    fs::create_directories(folder / "occupied" / "child");
    std::optional<Error> error;
    EXPECT_FALSE(FileManager::writeData(folder / "occupied", second, true, &error));
    ASSERT_TRUE(error);
    EXPECT_TRUE(FileManager::isDirectory(folder / "occupied"));
    EXPECT_EQ(entriesOf(folder), (std::vector<std::string>{"list", "occupied"}));
    EXPECT_EQ(FileManager::contentsOfFile(target), first);
}

TEST_F(FileManagerTest, PermissionsOfNewReplacedAndPrivateFiles) {
    fs::path folder = home() / "Library";
    ASSERT_TRUE(FileManager::writePrivateData(folder / "secret", bytesOf("token")));
    EXPECT_EQ(FileManager::permissions(folder / "secret"), 0600u);

    ASSERT_TRUE(FileManager::writeData(folder / "shared", bytesOf("v1")));
    ASSERT_TRUE(FileManager::setPermissions(folder / "shared", 0640));
    ASSERT_TRUE(FileManager::writeData(folder / "shared", bytesOf("v2")));
    EXPECT_EQ(FileManager::permissions(folder / "shared"), 0640u);  // replacing keeps the mode

    ASSERT_TRUE(FileManager::makePrivate(folder / "shared"));
    EXPECT_EQ(FileManager::permissions(folder / "shared"), 0600u);
    ASSERT_TRUE(FileManager::writePrivateData(folder / "shared", bytesOf("v3")));
    EXPECT_EQ(FileManager::permissions(folder / "shared"), 0600u);
}

// ---- Streams ----

class StreamTest : public test::PlatformTest {};

TEST_F(StreamTest, FileInputReadsInChunksToTheEnd) {
    fs::path file = home() / "tmp" / "in";
    ASSERT_TRUE(FileManager::writeData(file, bytesOf("0123456789")));
    auto stream = InputStream::withFile(file);
    std::uint8_t buffer[4];
    EXPECT_EQ(stream->read(buffer, sizeof buffer), -1);  // not open yet
    stream->open();
    EXPECT_EQ(stream->status(), Stream::Status::Open);

    std::string collected;
    while (stream->hasBytesAvailable()) {
        auto n = stream->read(buffer, sizeof buffer);
        ASSERT_GT(n, 0);
        collected.append(reinterpret_cast<char*>(buffer), static_cast<std::size_t>(n));
    }
    EXPECT_EQ(collected, "0123456789");
    EXPECT_EQ(stream->status(), Stream::Status::AtEnd);
    EXPECT_EQ(stream->read(buffer, sizeof buffer), 0);
    stream->close();
    EXPECT_EQ(stream->status(), Stream::Status::Closed);
}

TEST_F(StreamTest, MissingFileFailsAtOpen) {
    auto stream = InputStream::withFile(home() / "absent");
    stream->open();
    EXPECT_EQ(stream->status(), Stream::Status::Error);
    ASSERT_TRUE(stream->error());
    EXPECT_EQ(stream->error()->code(), ENOENT);
    EXPECT_FALSE(stream->hasBytesAvailable());
    std::uint8_t byte;
    EXPECT_EQ(stream->read(&byte, 1), -1);

    auto out = OutputStream::toFile(home() / "no" / "folder", false);
    out->open();
    EXPECT_EQ(out->status(), Stream::Status::Error);
    EXPECT_EQ(out->write(bytesOf("x")), -1);
}

TEST_F(StreamTest, OutputToFileTruncatesOrAppendsAndToMemoryCollects) {
    fs::path file = home() / "tmp" / "out";
    ASSERT_TRUE(FileManager::writeData(file, bytesOf("old contents")));

    auto truncating = OutputStream::toFile(file, false);
    truncating->open();
    EXPECT_TRUE(truncating->hasSpaceAvailable());
    EXPECT_EQ(truncating->write(bytesOf("abc")), 3);
    truncating->close();
    EXPECT_EQ(FileManager::contentsOfFile(file), bytesOf("abc"));

    auto appending = OutputStream::toFile(file, true);
    appending->open();
    EXPECT_EQ(appending->write(bytesOf("def")), 3);
    appending.reset();  // destruction closes
    EXPECT_EQ(FileManager::contentsOfFile(file), bytesOf("abcdef"));

    auto memory = OutputStream::toMemory();
    memory->open();
    memory->write(bytesOf("12"));
    memory->write(bytesOf("34"));
    EXPECT_EQ(memory->dataWritten(), bytesOf("1234"));

    auto input = InputStream::withData(bytesOf("xy"));
    input->open();
    std::uint8_t buffer[8];
    EXPECT_EQ(input->read(buffer, sizeof buffer), 2);
    EXPECT_FALSE(input->hasBytesAvailable());
    EXPECT_EQ(input->read(buffer, sizeof buffer), 0);
}

class Recorder : public StreamDelegate {
public:
    std::vector<unsigned> events;
    std::string text;
    void streamHandleEvent(Stream& stream, unsigned event) override {
        events.push_back(event);
        if (event == Stream::HasBytesAvailable) {
            std::uint8_t buffer[3];
            auto n = static_cast<InputStream&>(stream).read(buffer, sizeof buffer);
            if (n > 0) text.append(reinterpret_cast<char*>(buffer), static_cast<std::size_t>(n));
        }
    }
};

TEST_F(StreamTest, ScheduledStreamTellsItsDelegateOnTheRunLoop) {
    auto recorder = std::make_shared<Recorder>();
    auto stream = InputStream::withData(bytesOf("abcdefg"));
    stream->setDelegate(recorder);
    stream->scheduleInRunLoop(RunLoop::main(), RunLoop::defaultMode);
    stream->open();
    EXPECT_TRUE(recorder->events.empty());  // delivered by the run loop, not inline

    ASSERT_TRUE(
        pumpUntil([&] { return !recorder->events.empty() && recorder->events.back() == Stream::EndEncountered; }));
    EXPECT_EQ(recorder->text, "abcdefg");
    EXPECT_EQ(recorder->events.front(), Stream::OpenCompleted);
    EXPECT_EQ(std::count(recorder->events.begin(), recorder->events.end(), unsigned(Stream::HasBytesAvailable)), 3);

    // A failing stream reports ErrorOccurred.
    auto failing = InputStream::withFile(home() / "absent");
    auto second = std::make_shared<Recorder>();
    failing->setDelegate(second);
    failing->scheduleInRunLoop(RunLoop::main(), RunLoop::defaultMode);
    failing->open();
    ASSERT_TRUE(pumpUntil([&] { return !second->events.empty(); }));
    EXPECT_EQ(second->events, std::vector<unsigned>{Stream::ErrorOccurred});
}

TEST_F(FileManagerTest, ExtendedAttributesAreSetAndReadBack) {
    const std::string file = FileManager::documentsDirectory() + "/marked";
    ASSERT_TRUE(FileManager::createFile(file));
    EXPECT_EQ(FileManager::extendedAttribute(file, "com.example.mark"), std::nullopt);
    std::optional<Error> error;
    if (!FileManager::setExtendedAttribute(file, "com.example.mark", Data{1}, &error)) {
        ASSERT_TRUE(error);
        GTEST_SKIP() << "no user attributes on this file system: " << error->description();
    }
    EXPECT_EQ(FileManager::extendedAttribute(file, "com.example.mark"), (Data{1}));
    EXPECT_FALSE(FileManager::setExtendedAttribute(file + ".missing", "com.example.mark", Data{1}, &error));
}

}  // namespace
}  // namespace clipora::platform
