#pragma once

namespace corvix {

// Settings Qt needs before the QApplication exists (shared GL contexts for the
// browser engine, the engine's sandbox when running as root).
void PrepareQtBeforeApplication();

} // namespace corvix
