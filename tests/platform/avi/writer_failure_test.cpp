// SPDX-License-Identifier: GPL-3.0-or-later
// The writer refuses what it cannot write correctly, and never lets a failed write pass: a full
// disk or a file-size limit surfaces as AVIERR_FILEWRITE with errno, on the next call and on
// finish().
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

#include "platform/avi/avi_reader.h"
#include "support/clip_builder.h"
#include "support/ffmpeg_judge.h"
#include "support/test_support.h"

namespace {

using clips::Clip;

struct OpenWriter {
    std::unique_ptr<avi::Writer> writer;
    int video = -1;
    int audio = -1;
};

// A writer with the synthetic clip's video and audio streams added and their formats set.
OpenWriter StartClip(const std::string& path, const Clip& clip) {
    OpenWriter w;
    EXPECT_EQ(avi::Writer::Create(path, avi::WriterOptions{}, &w.writer), AVIERR_OK);
    EXPECT_EQ(w.writer->addStream(clip.infos[0], &w.video), AVIERR_OK);
    EXPECT_EQ(w.writer->addStream(clip.infos[1], &w.audio), AVIERR_OK);
    for (int s : {w.video, w.audio}) {
        const auto& f = clip.formats[static_cast<size_t>(s)];
        EXPECT_EQ(w.writer->setFormat(s, f.data(), static_cast<int32_t>(f.size())), AVIERR_OK);
    }
    return w;
}

TEST(WriterFailureTest, RefusesWritesThatWouldBreakTheFile) {
    testing_support::TempDir dir;
    const Clip clip = clips::NoisyRgbClip(3, true);
    OpenWriter w = StartClip(dir.file("a.avi"), clip);
    avi::Writer& writer = *w.writer;
    const std::vector<uint8_t> frame(100, 7);
    AVISTREAMINFO noRate = clip.infos[0];
    noRate.dwRate = 0;
    int index = -1;
    EXPECT_EQ(writer.addStream(noRate, &index), AVIERR_BADFORMAT);
    // A second, different format is refused; the same one is accepted.
    const auto& f = clip.formats[0];
    EXPECT_EQ(writer.setFormat(w.video, f.data(), 40), AVIERR_OK);
    EXPECT_EQ(writer.setFormat(w.video, f.data(), 39), AVIERR_UNSUPPORTED);
    EXPECT_EQ(writer.setFormat(w.video, nullptr, 40), AVIERR_BADPARAM);
    EXPECT_EQ(writer.setFormat(7, f.data(), 40), AVIERR_BADPARAM);

    int32_t samples = -1;
    int32_t bytes = -1;
    EXPECT_EQ(writer.write(w.video, 0, 2, frame.data(), 100, 0, &samples, &bytes),
              AVIERR_UNSUPPORTED);
    EXPECT_EQ(samples, 0);
    EXPECT_EQ(writer.write(w.video, 0, 1, frame.data(), 100, kAviIfKeyFrame, &samples, &bytes),
              AVIERR_OK);
    EXPECT_EQ(samples, 1);
    EXPECT_EQ(bytes, 100);
    EXPECT_EQ(writer.write(w.video, 0, 1, frame.data(), 100, 0, &samples, &bytes),
              AVIERR_UNSUPPORTED);  // frame 0 exists
    EXPECT_EQ(writer.write(w.audio, 0, 99, frame.data(), 100, 0, &samples, &bytes),
              AVIERR_BADPARAM);  // 99 one-byte blocks are not 100 bytes
    EXPECT_EQ(writer.write(w.audio, 5, 100, frame.data(), 100, 0, &samples, &bytes),
              AVIERR_UNSUPPORTED);  // audio cannot skip
    EXPECT_EQ(writer.write(w.video, 1, 1, nullptr, 100, 0, &samples, &bytes), AVIERR_BADPARAM);
    EXPECT_EQ(writer.write(w.video, 1, 1, frame.data(), 300 << 20, 0, &samples, &bytes),
              AVIERR_BADSIZE);  // larger than any reader accepts; the data is never touched
    // Once data is written the header is laid out: no new stream, no new format.
    EXPECT_EQ(writer.addStream(clip.infos[1], &index), AVIERR_UNSUPPORTED);
    EXPECT_EQ(writer.samplesWritten(w.video), 1);
    EXPECT_EQ(writer.finish(), AVIERR_OK);
    EXPECT_EQ(writer.write(w.video, 1, 1, frame.data(), 100, 0, &samples, &bytes),
              AVIERR_UNSUPPORTED);
    EXPECT_EQ(writer.finish(), AVIERR_OK);
}

TEST(WriterFailureTest, SkippedFramesBecomeDropFramesAndVbrAudioIsOneChunkPerSample) {
    testing_support::TempDir dir;
    const std::string path = dir.file("gap.avi");
    Clip clip = clips::NoisyRgbClip(1, true);
    clip.infos[1].dwSampleSize = 0;  // VBR: a chunk is a sample, whatever its size
    clip.infos[1].dwScale = 1152;
    clip.infos[1].dwRate = 8000;
    {
        OpenWriter w = StartClip(path, clip);
        const std::vector<uint8_t> frame(50, 1);
        int32_t samples = 0;
        int32_t bytes = 0;
        ASSERT_EQ(
            w.writer->write(w.video, 0, 1, frame.data(), 50, kAviIfKeyFrame, &samples, &bytes),
            AVIERR_OK);
        ASSERT_EQ(w.writer->write(w.video, 4, 1, frame.data(), 49, 0, &samples, &bytes), AVIERR_OK);
        EXPECT_EQ(samples, 1);
        EXPECT_EQ(w.writer->samplesWritten(w.video), 5);
        EXPECT_EQ(w.writer->write(w.audio, 0, 2, frame.data(), 50, 0, &samples, &bytes),
                  AVIERR_BADPARAM);
        ASSERT_EQ(w.writer->write(w.audio, 0, 1, frame.data(), 37, 0, &samples, &bytes), AVIERR_OK);
        ASSERT_EQ(w.writer->write(w.audio, 1, 1, frame.data(), 41, 0, &samples, &bytes), AVIERR_OK);
        EXPECT_EQ(w.writer->streamInfo(w.audio).dwLength, 2u);
        EXPECT_EQ(w.writer->streamInfo(w.audio).dwSuggestedBufferSize, 41u);
        ASSERT_EQ(w.writer->finish(), AVIERR_OK);
    }
    std::unique_ptr<avi::Reader> reader;
    ASSERT_EQ(avi::Reader::Open(path, avi::Limits{}, &reader), AVIERR_OK);
    EXPECT_EQ(reader->indexedSamples(0), 5);
    EXPECT_EQ(reader->stream(0).header.dwLength, 5u);
    for (int64_t f = 1; f < 4; ++f) {
        int64_t bytes = -1;
        int64_t samples = -1;
        uint8_t buffer[64];
        EXPECT_EQ(reader->read(0, f, 1, buffer, sizeof buffer, &bytes, &samples), AVIERR_OK);
        EXPECT_EQ(bytes, 0) << f;
        EXPECT_EQ(samples, 1) << f;
    }
    EXPECT_EQ(reader->stream(1).header.dwLength, 2u);
    EXPECT_EQ(reader->stream(1).header.dwSampleSize, 0u);
    EXPECT_EQ(reader->indexedSamples(1), 2);
}

TEST(WriterFailureTest, FileWithoutDataIsStillAValidAvi) {
    testing_support::TempDir dir;
    const std::string path = dir.file("empty.avi");
    const Clip clip = clips::NoisyRgbClip(1, true);
    OpenWriter w = StartClip(path, clip);
    ASSERT_EQ(w.writer->finish(), AVIERR_OK);
    std::unique_ptr<avi::Reader> reader;
    ASSERT_EQ(avi::Reader::Open(path, avi::Limits{}, &reader), AVIERR_OK);
    EXPECT_EQ(reader->streamCount(), 2);
    EXPECT_EQ(reader->stream(0).header.dwLength, 0u);
    const auto probe = testing_support::FfprobeOutput(testing_support::ShellQuote(path));
    EXPECT_EQ(probe.exitCode, 0) << probe.output;
}

TEST(WriterFailureTest, FullDiskSurfacesAtFinishWithErrno) {
    const Clip clip = clips::NoisyRgbClip(20, true);
    OpenWriter w = StartClip("/dev/full", clip);
    ASSERT_TRUE(w.writer);
    for (int f = 0; f < 20; ++f) {
        const auto& c = clip.chunks[static_cast<size_t>(2 * f)];
        // Buffered: these may all succeed before anything reaches the disk.
        (void)w.writer->write(w.video, f, 1, c.bytes.data(), static_cast<int32_t>(c.bytes.size()),
                              0, nullptr, nullptr);
    }
    int err = 0;
    EXPECT_EQ(w.writer->finish(&err), AVIERR_FILEWRITE);
    EXPECT_EQ(err, ENOSPC);
    EXPECT_EQ(w.writer->finish(&err), AVIERR_FILEWRITE);  // and it stays failed
}

// Small frames reach the limit through the writer's buffer; large ones (written from the
// caller's memory together with the buffered header) part way through one system call, also
// while the write-back of what came before runs on its own thread.
TEST(WriterFailureTest, FileSizeLimitFailsTheWriteAndEveryCallAfterIt) {
    testing_support::TempDir dir;
    const std::string path = dir.file("limited.avi");
    const Clip clip = clips::NoisyRgbClip(3000, false);  // about 5 MB: beyond the buffer
    const std::vector<uint8_t> large(100000, 0x5a);
    struct Case {
        bool small;
        rlim_t limit;
        int frames;
    };
    for (const Case c :
         {Case{true, 1 << 20, 3000}, Case{false, 1 << 20, 30}, Case{false, 20 << 20, 300}}) {
        const bool small = c.small;
        SCOPED_TRACE(std::string(small ? "small frames" : "large frames") + " to " +
                     std::to_string(c.limit >> 20) + " MiB");
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{c.limit, c.limit};
            setrlimit(RLIMIT_FSIZE, &limit);
            std::unique_ptr<avi::Writer> writer;
            int video = -1;
            if (avi::Writer::Create(path, avi::WriterOptions{}, &writer) != AVIERR_OK ||
                writer->addStream(clip.infos[0], &video) != AVIERR_OK) {
                _exit(10);
            }
            int failedAt = -1;
            for (int f = 0; f < c.frames; ++f) {
                const auto& bytes = small ? clip.chunks[static_cast<size_t>(f)].bytes : large;
                const int32_t status =
                    writer->write(video, f, 1, bytes.data(), static_cast<int32_t>(bytes.size()), 0,
                                  nullptr, nullptr);
                if (status != AVIERR_OK) {
                    if (status != AVIERR_FILEWRITE)
                        _exit(11);
                    if (failedAt < 0)
                        failedAt = f;
                } else if (failedAt >= 0) {
                    _exit(12);  // a write after a failure must not succeed
                }
            }
            if (failedAt < 0)
                _exit(13);
            int err = 0;
            if (writer->finish(&err) != AVIERR_FILEWRITE)
                _exit(14);
            _exit(err == EFBIG ? 0 : 15);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0);
        EXPECT_LE(std::filesystem::file_size(path), uintmax_t{c.limit});
    }
}

TEST(WriterFailureTest, CreateInMissingFolderReportsFileOpenWithErrno) {
    std::unique_ptr<avi::Writer> writer;
    int err = 0;
    EXPECT_EQ(avi::Writer::Create("/nonexistent-folder/x.avi", avi::WriterOptions{}, &writer, &err),
              AVIERR_FILEOPEN);
    EXPECT_EQ(err, ENOENT);
    EXPECT_FALSE(writer);
}

}  // namespace
