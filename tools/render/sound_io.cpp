// SPDX-License-Identifier: GPL-3.0-or-later
// libsndfile does the decoding and encoding; this adds mono mixing, padding and the choice of
// an output format by file name.
#include "sound_io.h"

#include "errors.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <sndfile.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace zembra::render {

namespace {

constexpr long kChunk = 4096; // frames per libsndfile call

// What a source file may declare. Audio lives between telephone rate and eight times 96 kHz;
// a header outside that is damaged or hostile, and the buffers and the room's tail are sized
// from the rate. 256 channels hold any real multi-channel recording, Atmos masters included.
constexpr int kMinSourceRate = 8000;
constexpr int kMaxSourceRate = 768000;
constexpr int kMaxSourceChannels = 256;

std::string lowercaseExtension(const std::string& path) {
    const auto slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const auto dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0) return {};
    std::string ext = name.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext;
}

bool formatWorks(int format, int sampleRate) {
    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = 2;
    info.format = format;
    return sf_format_check(&info) != 0;
}

// Subtypes tried, best first, for a container chosen from libsndfile's table.
constexpr int kPreferredSubtypes[] = {SF_FORMAT_FLOAT,  SF_FORMAT_PCM_24, SF_FORMAT_PCM_16,
                                      SF_FORMAT_VORBIS, SF_FORMAT_OPUS,   SF_FORMAT_MPEG_LAYER_III,
                                      SF_FORMAT_PCM_S8, SF_FORMAT_PCM_U8};

} // namespace

int outputFormatFor(const std::string& path, int sampleRate) {
    std::string ext = lowercaseExtension(path);
    if (ext.empty()) {
        throw InputError("'" + path +
                         "' has no extension to choose the output format by "
                         "(.wav, .flac, .aiff, .ogg, ...)");
    }
    if (ext == "wav") return SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    if (ext == "flac") return SF_FORMAT_FLAC | SF_FORMAT_PCM_24;
    if (ext == "opus") return SF_FORMAT_OGG | SF_FORMAT_OPUS;
    const std::string given = ext;
    // Common names libsndfile's table spells differently.
    static constexpr const char* kAliases[][2] = {
        {"aif", "aiff"}, {"aifc", "aiff"}, {"ogg", "oga"}, {"mp3", "m1a"}, {"svx", "iff"}};
    for (const auto& [alias, name] : kAliases)
        if (ext == alias) ext = name;

    int majors = 0;
    sf_command(nullptr, SFC_GET_FORMAT_MAJOR_COUNT, &majors, sizeof majors);
    for (int i = 0; i < majors; ++i) {
        SF_FORMAT_INFO info{};
        info.format = i;
        if (sf_command(nullptr, SFC_GET_FORMAT_MAJOR, &info, sizeof info) != 0) continue;
        // Headerless data could not be read back without being told its layout.
        if (info.extension == nullptr || ext != info.extension || info.format == SF_FORMAT_RAW)
            continue;
        for (int subtype : kPreferredSubtypes) {
            if (formatWorks(info.format | subtype, sampleRate)) return info.format | subtype;
        }
    }
    throw InputError("unknown output format '." + given + "' in '" + path +
                     "' (use .wav, .flac, .aiff, .ogg, .caf, ...)");
}

class FileSources::MonoReader {
  public:
    explicit MonoReader(const std::string& path) : mPath(path) {
        struct stat st {};
        if (stat(path.c_str(), &st) != 0)
            throw InputError("cannot read '" + path + "': " + std::strerror(errno));
        if (S_ISDIR(st.st_mode)) throw InputError("'" + path + "' is a folder, not a sound file");
        if (access(path.c_str(), R_OK) != 0)
            throw InputError("cannot read '" + path + "': " + std::strerror(errno));
        mSnd = sf_open(path.c_str(), SFM_READ, &mInfo);
        if (mSnd == nullptr)
            throw InputError("cannot read '" + path + "' as sound: " + sf_strerror(nullptr));
        try {
            checkDeclaredLayout();
        } catch (...) {
            sf_close(mSnd);
            throw;
        }
        mBuffer.resize(static_cast<std::size_t>(kChunk * mInfo.channels));
    }
    ~MonoReader() { sf_close(mSnd); }
    MonoReader(const MonoReader&) = delete;
    MonoReader& operator=(const MonoReader&) = delete;

    const std::string& path() const { return mPath; }
    long frames() const { return static_cast<long>(mInfo.frames); }
    int rate() const { return mInfo.samplerate; }

    // Reads up to frames mono samples (the average of the channels); returns how many.
    // Throws InputError when the file ends before the length its header declares.
    long read(float* out, long frames) {
        const int channels = mInfo.channels;
        long done = 0;
        while (done < frames && !mEnded) {
            const long want = std::min(kChunk, frames - done);
            const long got = static_cast<long>(sf_readf_float(mSnd, mBuffer.data(), want));
            mRead += got;
            if (got < want) checkComplete();
            const float scale = 1.0f / static_cast<float>(channels);
            for (long i = 0; i < got; ++i) {
                float sum = 0.0f;
                for (int c = 0; c < channels; ++c)
                    sum += mBuffer[i * channels + c];
                out[done + i] = channels == 1 ? sum : sum * scale;
            }
            done += got;
            if (got < want) mEnded = true;
        }
        return done;
    }

  private:
    void checkDeclaredLayout() const {
        if (mInfo.samplerate < kMinSourceRate || mInfo.samplerate > kMaxSourceRate) {
            throw InputError("'" + mPath + "' declares a sample rate of " +
                             std::to_string(mInfo.samplerate) + " Hz; sources must be " +
                             std::to_string(kMinSourceRate) + " to " +
                             std::to_string(kMaxSourceRate) + " Hz");
        }
        if (mInfo.channels < 1 || mInfo.channels > kMaxSourceChannels) {
            throw InputError("'" + mPath + "' declares " + std::to_string(mInfo.channels) +
                             " channels; sources may have at most " +
                             std::to_string(kMaxSourceChannels));
        }
        if (mInfo.frames <= 0) throw InputError("'" + mPath + "' holds no audio");
    }

    // The declared length only sizes the progress bar and the picture; what is read is what
    // the file holds. A shortfall means the header lies or the file was cut off.
    void checkComplete() const {
        if (sf_error(mSnd) != SF_ERR_NO_ERROR)
            throw InputError("cannot read '" + mPath + "': " + sf_strerror(mSnd));
        // A length libsndfile cannot know (a stream) is reported as the largest count.
        if (mRead < mInfo.frames && mInfo.frames != SF_COUNT_MAX) {
            throw InputError("'" + mPath + "' ends after " + std::to_string(mRead) + " of the " +
                             std::to_string(mInfo.frames) +
                             " frames its header declares (truncated or damaged)");
        }
    }

    std::string mPath;
    SF_INFO mInfo{};
    SNDFILE* mSnd = nullptr;
    std::vector<float> mBuffer;
    sf_count_t mRead = 0;
    bool mEnded = false;
};

FileSources::FileSources(const std::string& pathA, const std::string& pathB)
    : mA(std::make_unique<MonoReader>(pathA)), mB(std::make_unique<MonoReader>(pathB)) {
    if (mA->rate() != mB->rate()) {
        throw InputError("the sources' sample rates differ: '" + pathA + "' is " +
                         std::to_string(mA->rate()) + " Hz, '" + pathB + "' is " +
                         std::to_string(mB->rate()) + " Hz (resample one of them)");
    }
    mFrames = std::max(mA->frames(), mB->frames());
    mRate = mA->rate();
}

FileSources::~FileSources() = default;

long FileSources::read(float* a, float* b, long frames) {
    const long gotA = mA->read(a, frames);
    const long gotB = mB->read(b, frames);
    const long got = std::max(gotA, gotB);
    std::fill(a + gotA, a + got, 0.0f);
    std::fill(b + gotB, b + got, 0.0f);
    return got;
}

SoundWriter::SoundWriter(const std::string& path, int sampleRate)
    : mFormat(outputFormatFor(path, sampleRate)), mFile(path),
      mInterleaved(std::make_unique<float[]>(2 * kChunk)) {
    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = 2;
    info.format = mFormat;
    // libsndfile may or may not close a descriptor it failed to open: it gets a duplicate,
    // and the pending file keeps the original, so the temporary file goes away either way.
    const int fd = dup(mFile.descriptor());
    if (fd >= 0) mSnd = sf_open_fd(fd, SFM_WRITE, &info, SF_TRUE);
    if (mSnd == nullptr) {
        throw InputError("cannot write '" + path +
                         "': " + (fd < 0 ? std::strerror(errno) : sf_strerror(nullptr)));
    }
    // Integer formats wrap around on overs unless told to clip; the room can add a little
    // above full scale.
    sf_command(mSnd, SFC_SET_CLIPPING, nullptr, SF_TRUE);
}

SoundWriter::~SoundWriter() {
    if (mSnd != nullptr) sf_close(mSnd);
}

void SoundWriter::write(const float* left, const float* right, long frames) {
    while (frames > 0) {
        const long count = std::min(frames, kChunk);
        for (long i = 0; i < count; ++i) {
            mInterleaved[2 * i] = left[i];
            mInterleaved[2 * i + 1] = right[i];
        }
        if (sf_writef_float(mSnd, mInterleaved.get(), count) != count) {
            throw std::runtime_error("writing '" + mFile.destination() +
                                     "' failed: " + sf_strerror(mSnd));
        }
        left += count;
        right += count;
        frames -= count;
    }
}

void SoundWriter::close() {
    if (mSnd == nullptr) return;
    sf_write_sync(mSnd);
    const int error = sf_close(mSnd);
    mSnd = nullptr;
    if (error != 0) {
        throw std::runtime_error("finishing '" + mFile.destination() +
                                 "' failed: " + sf_error_number(error));
    }
}

void SoundWriter::commit() {
    close();
    mFile.commit();
}

} // namespace zembra::render
