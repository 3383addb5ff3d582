#pragma once
// The language model of this computer, which rewrites short texts. Nothing sent to it
// leaves the machine.

#include "Outcome.h"

#include <QString>

namespace ombrel {

// Calls wait for the model's answer: make them off the GUI thread. Safe from any thread.
class LanguageModel {
  public:
    virtual ~LanguageModel() = default;

    // True when the model answers now. Waits at most a moment.
    virtual bool isAvailable() = 0;

    // The model's answer to `prompt` in a new session given the system `instructions`,
    // sampled at `temperature`. Fails Temporary when the model is busy or did not answer in
    // time, Permanent when there is no model or it refused the request.
    virtual Outcome<QString> respond(const QString& instructions, const QString& prompt,
                                     double temperature) = 0;
};

} // namespace ombrel
