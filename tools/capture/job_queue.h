// The hand-over from the rendering thread to the writer thread: jobs in
// order, a few at most, with frame buffers going back and forth instead of
// being allocated every frame.
#pragma once

#include "tools/capture/frames.h"
#include "tools/capture/rgb_image.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

// A frame or the sound of one stretch. The rendering thread hands a frame
// over as it was read back (bottom row first, BGRA); the writer thread turns
// it into pixels, so the renderer spends no time on it.
struct Job {
    int64_t frame = -1; // -1: no picture
    int32_t t = 0;      // demo time of the picture or of the sound's start
    std::vector<uint8_t> read_back;
    RgbImage pixels; // top row first
    std::vector<int16_t> sound;
};

class JobQueue {
  public:
    RgbImage TakeImage() {
        std::lock_guard<std::mutex> lock(mutex_);
        if (spare_.empty()) return MakeRgbImage(kCaptureWidth, kCaptureHeight);
        RgbImage image = std::move(spare_.back());
        spare_.pop_back();
        return image;
    }
    // Waits while the queue is full; the writer always drains it.
    void Push(Job&& job) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return jobs_.size() < kMaxJobs; });
        jobs_.push_back(std::move(job));
        changed_.notify_all();
    }
    // False once the queue is closed and empty.
    bool Pop(Job* job) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return !jobs_.empty() || closed_; });
        if (jobs_.empty()) return false;
        *job = std::move(jobs_.front());
        jobs_.pop_front();
        changed_.notify_all();
        return true;
    }
    void GiveBack(RgbImage&& image) {
        std::lock_guard<std::mutex> lock(mutex_);
        spare_.push_back(std::move(image));
    }
    std::vector<uint8_t> TakeReadBackBuffer() {
        std::lock_guard<std::mutex> lock(mutex_);
        if (spare_read_back_.empty()) return std::vector<uint8_t>(kReadBackBytes);
        std::vector<uint8_t> buffer = std::move(spare_read_back_.back());
        spare_read_back_.pop_back();
        return buffer;
    }
    void GiveBack(std::vector<uint8_t>&& read_back) {
        std::lock_guard<std::mutex> lock(mutex_);
        spare_read_back_.push_back(std::move(read_back));
    }
    static const size_t kReadBackBytes = size_t(kCaptureWidth) * kCaptureHeight * 4;
    void Close() {
        std::lock_guard<std::mutex> lock(mutex_);
        closed_ = true;
        changed_.notify_all();
    }

  private:
    // A frame is two jobs, picture and sound: eight frames (some 16 MB) ride out
    // the encoder's bursts, so the renderer waits only when it is really
    // ahead.
    static const size_t kMaxJobs = 16;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Job> jobs_;
    std::vector<RgbImage> spare_;
    std::vector<std::vector<uint8_t>> spare_read_back_;
    bool closed_ = false;
};
