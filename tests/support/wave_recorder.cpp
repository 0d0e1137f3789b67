#include "support/wave_recorder.h"

namespace tarnwick {

bool CWaveRecorder::Open(const WaveFormat_T& format)
{
    opened.push_back(format);
    open = !failOpen;
    return open;
}

void CWaveRecorder::Write(const std::uint8_t* data, std::size_t length)
{
    ++writes;
    lastData = data;
    lastLength = length;
    played = 0;
    if (copyPcm)
        pcm.assign(data, data + length);
    donePending = open;
}

void CWaveRecorder::Reset()
{
    ++resets;
}

void CWaveRecorder::Suspend()
{
    ++suspends;
    suspended = open;
}

void CWaveRecorder::Resume()
{
    ++resumes;
    suspended = false;
}

void CWaveRecorder::Close()
{
    ++closes;
    suspended = false;
    open = false;
    donePending = false;
}

bool CWaveRecorder::FinishBuffer()
{
    if (!donePending)
        return false;
    donePending = false;
    if (done)
        done();
    return true;
}

}  // namespace tarnwick
