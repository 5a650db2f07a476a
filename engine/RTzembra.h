// SPDX-License-Identifier: GPL-3.0-or-later
/* Zembra's signal engine: plain C entry points over one caller-allocated instance record.
 *
 * Two mono sources, A and B, are analysed in 2048-sample frames with a hop of 1024, their
 * spectra blended under the position (X, Y) and resynthesised by overlap-add; a room of two
 * recirculating delay lines with 32 moving taps can be added behind the blend.
 *
 * Life of an instance:
 *   1. allocate RTzembraGetStructSize() bytes, zero-filled (calloc);
 *   2. RTzembraSetParameter at least once: the first call builds the instance's tables;
 *   3. per block: RTzembra, then RTzembraRoomSimul; parameter and controller calls go
 *      between blocks, on the same thread or serialised with the processing;
 *   4. free the record. There is no tear-down call.
 *
 * Real time: every entry point except the exported transform helpers below is free of
 * allocation, locks and system calls. Instances are independent and may be processed on
 * different threads at once; one instance must not be used by two threads at a time.
 * "long" is a signed 64-bit integer on the platforms we build for (LP64).
 */
#ifndef ZEMBRA_RTZEMBRA_H
#define ZEMBRA_RTZEMBRA_H

#ifdef __cplusplus
extern "C" {
#endif

#define RTZEMBRA_EXPORT __attribute__((visibility("default")))

/* The twelve parameters, in the engine's units. Their ranges, defaults and which are whole
 * numbers are kept in one table, kParameters in ZembraParameters.h (in host units). */
enum {
    kParamMixA = 0,       /* gain of dry source A on both outputs, 1.0 = unity */
    kParamMixB = 1,       /* gain of dry source B */
    kParamVolume = 2,     /* gain of the blended signal */
    kParamX = 3,          /* blend position 0..1 */
    kParamY = 4,          /* blend position 0..1 */
    kParamWetDry = 5,     /* room balance 0..1 (off at or below 0.001) */
    kParamRoom = 6,       /* room size 0..1 */
    kParamXControl = 7,   /* controller source added to X (RTzembraSource) */
    kParamYControl = 8,   /* controller source added to Y */
    kParamStereoMode = 9, /* pseudo-stereo blend when >= 1 */
    kParamSoloA = 10,     /* source A straight to both outputs when >= 1 */
    kParamSoloB = 11,     /* source B added straight to both outputs when >= 1 */
    kZembraParameterCount = 12
};

/* Controller sources that parameters 7 and 8 select. */
typedef enum RTzembraSource {
    kSourceNone = 0,
    kSourceModWheel = 1,
    kSourcePitchWheel = 2,
    kSourcePedal = 3,
    kSourceAftertouch = 4,
    kSourceNote = 5,
    kSourceSustain = 6,
    kSourceCount = 7
} RTzembraSource;

typedef struct RTzembraInstance RTzembraInstance;

/* Queries that need no instance. */
RTZEMBRA_EXPORT long RTzembraGetStructSize(void);
RTZEMBRA_EXPORT const char* RTzembraGetVersion(void);
/* Reports one hop (1024); the blended and dry paths actually leave 2048 samples after
 * they enter, which is what a host must be told as latency. */
RTZEMBRA_EXPORT long RTzembraGetProcessingLatency(void);

/* Parameters. Ids outside 0..11 read as 0 and store nothing; whole-number parameters (the
 * sources and switches) are stored truncated toward zero. */
RTZEMBRA_EXPORT float RTzembraGetParameter(int id, RTzembraInstance* instance);
RTZEMBRA_EXPORT void RTzembraSetParameter(int id, float value, RTzembraInstance* instance);

/* MIDI-style controller inputs (values 0..127, not range-checked). */
RTZEMBRA_EXPORT long RTnoteOn(long note, long velocity, RTzembraInstance* instance);
RTZEMBRA_EXPORT void RTnoteOff(long note, RTzembraInstance* instance);
RTZEMBRA_EXPORT void RTallNotesOff(RTzembraInstance* instance);
RTZEMBRA_EXPORT void RTsetPitchWheel(long value, RTzembraInstance* instance);
RTZEMBRA_EXPORT void RTsetModWheel(long value, RTzembraInstance* instance);
RTZEMBRA_EXPORT void RTsetPedal(long value, RTzembraInstance* instance);
RTZEMBRA_EXPORT void RTsetSustainPedal(long value, RTzembraInstance* instance);
RTZEMBRA_EXPORT void RTsetChannelAfterTouch(long value, RTzembraInstance* instance);
RTZEMBRA_EXPORT void RTseqStartStop(RTzembraInstance* instance);

/* Cross-synthesis of inA and inB into outL/outR, frames samples each. replace != 0
 * overwrites the outputs, 0 adds to them. An output may alias an input. */
RTZEMBRA_EXPORT void RTzembra(const float* inA, const float* inB, float* outL, float* outR,
                              long frames, RTzembraInstance* instance, long replace);

/* Adds the room's wet signal into outA/outB. The inputs are sanitised in place. */
RTZEMBRA_EXPORT void RTzembraRoomSimul(float* inA, float* inB, float* outA, float* outB,
                                       long frames, RTzembraInstance* instance);

/* Zero, denormal, infinite and NaN values become +0.0; others are left alone. */
RTZEMBRA_EXPORT void erase_NaN_Infinity_And_Denormal(float* value);
RTZEMBRA_EXPORT void erase_All_NaNs_Infinities_And_Denormals(float* values, int* count);

/* Transforms and windows, for callers outside the engine. n = 2^log2n with log2n in
 * 3..13; cosTable holds cos(2*pi*k/n) for k = 0..n/4. Complex arrays are n interleaved
 * (re, im) float pairs. Unsupported sizes leave the data untouched. These build their
 * tables per call: the engine itself uses precomputed per-instance tables. */
RTZEMBRA_EXPORT void fftForward(float* data, long log2n, const float* cosTable);
RTZEMBRA_EXPORT void fftInverse(float* data, long log2n, const float* cosTable);
RTZEMBRA_EXPORT void fftTwoReal(float* data, float* second, unsigned long n, const float* cosTable,
                                int log2n);
RTZEMBRA_EXPORT void smoothSpectrum(const float* mag, long n, long width, float* env,
                                    long windowType, const float* cosTable, long log2n);
RTZEMBRA_EXPORT void makeTrapezoidWindow(float* w, long n, long ramp);
RTZEMBRA_EXPORT double makeWelchWindow(float* w, long n);

#ifdef __cplusplus
}
#endif

#endif
