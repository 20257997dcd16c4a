// Descriptions of the sample recordings that qrdsample writes.
#pragma once

#include <string>
#include <vector>

#include "container/recording_writer.h"

namespace qrdsample {

struct SampleRecording {
    std::string fileName;
    std::string summary;
    qrd::RecordingSpec desc;
};

// 60-electrode array, continuous, header version 10, with a digital stream
// and an embedded index.
SampleRecording ContinuousMea();
// Triggered sweeps with a trigger stream, header version 10.
SampleRecording TriggeredSweeps();
// An older recording: header version 4, tags made up by the reader, no index.
SampleRecording Version4();
// Raw data with a spike stream and a trigger stream.
SampleRecording SpikesAndTriggers();

std::vector<SampleRecording> AllSamples();

}  // namespace qrdsample
