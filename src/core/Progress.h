// Stages of the progress reports that parsing and formatting send to the viewer.
#pragma once

namespace korva {

enum TProgressStage { psStarting, psRunning, psEnding };

}  // namespace korva
