#pragma once
// TFFBaseComponent: the common base of the engine's components (encoder, decoder, frame output
// adapter, logger).
#include <string>

// The engine's version text, shown by every component.
inline constexpr const char* EngineVersionText = "ClipGIF engine 0.1";

class TFFBaseComponent {
public:
    static constexpr int DefaultTimeoutMs = 30000;

    TFFBaseComponent() = default;
    virtual ~TFFBaseComponent() = default;
    TFFBaseComponent(const TFFBaseComponent&) = delete;
    TFFBaseComponent& operator=(const TFFBaseComponent&) = delete;

    // Free text for the application.
    std::string About;
    std::string Version() const { return EngineVersionText; }

    // I/O time-outs in milliseconds: the encoder hands them to each task, the decoder uses the
    // read time-out for its input.
    int ReadTimeout() const { return readTimeout_; }
    void SetReadTimeout(int ms) { readTimeout_ = ms; }
    int WriteTimeout() const { return writeTimeout_; }
    void SetWriteTimeout(int ms) { writeTimeout_ = ms; }

private:
    int readTimeout_ = DefaultTimeoutMs;
    int writeTimeout_ = DefaultTimeoutMs;
};
