// SPDX-License-Identifier: GPL-3.0-or-later
// Sound files through libsndfile: the two sources read as mono streams, and the stereo result
// written under a temporary name and put in place only when complete.
#pragma once

#include "pending_file.h"
#include "render.h"

#include <memory>
#include <string>

struct sf_private_tag; // libsndfile's SNDFILE, kept out of this header

namespace zembra::render {

// libsndfile's format code (major | subtype) for a stereo file named path at sampleRate:
// .wav is 32-bit float, .flac 24-bit, other extensions the best subtype libsndfile's own
// table allows. Throws InputError for an extension no writable format uses.
int outputFormatFor(const std::string& path, int sampleRate);

// Sources A and B read from files, each mixed to mono, the shorter padded with silence.
// Throws InputError when a file cannot be opened or the sample rates differ.
class FileSources final : public SourceStream {
  public:
    FileSources(const std::string& pathA, const std::string& pathB);
    ~FileSources() override;

    long read(float* a, float* b, long frames) override;
    long totalFrames() const override { return mFrames; }
    double sampleRate() const override { return mRate; }

  private:
    class MonoReader;
    std::unique_ptr<MonoReader> mA;
    std::unique_ptr<MonoReader> mB;
    long mFrames = 0;
    double mRate = 0.0;
};

class SoundWriter final : public OutputSink {
  public:
    // Throws InputError for an unusable path or extension.
    SoundWriter(const std::string& path, int sampleRate);
    ~SoundWriter() override;

    void write(const float* left, const float* right, long frames) override;
    // Completes the file under its temporary name; commit() then puts it in place.
    void close();
    void commit();

  private:
    int mFormat; // decided first: an unusable extension must fail before a file is created
    PendingFile mFile;
    sf_private_tag* mSnd = nullptr;
    std::unique_ptr<float[]> mInterleaved;
};

} // namespace zembra::render
