#pragma once
// The steps of a conversion run, as the main window's run buttons follow them.
enum class TRunPhase {
    Started,   // Stop and Pause enabled, Input, Start and Resume not; Stop takes the focus
    Choosing,  // the settings that fit a size limit are chosen: Pause and Resume disabled
    Paused,    // Pause disabled, Resume enabled
    Resumed,   // Pause enabled, Resume disabled
    Stopping,  // Stop disabled until the end of the run is reported
    Ended,     // Input and Start enabled, Stop, Pause and Resume not
};
