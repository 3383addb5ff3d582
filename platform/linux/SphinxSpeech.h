#pragma once
// Speech recognition with PocketSphinx and the models installed from the distribution
// (pocketsphinx-en-us and the like, under the engine's model folder). Everything runs on
// this computer.
//
// A model folder is <models>/<code>, such as "en-us", holding the acoustic model in a folder
// of the same name, the language model <code>.lm.bin and one pronunciation dictionary
// (*.dict). A language is served by the folder of its exact code, else by any folder of the
// same language ("en-GB" by "en-us").

#include "platform/Speech.h"

#include <QHash>
#include <memory>
#include <mutex>

namespace ombrel {

struct SphinxModel;

class SphinxSpeech : public Speech {
  public:
    // `modelsFolder` empty: the engine's own model folder.
    explicit SphinxSpeech(QString modelsFolder = {});
    ~SphinxSpeech() override;

    bool isAuthorized() override { return true; } // the engine is part of the program
    bool requestAuthorization() override { return true; }
    bool isAvailable(const QString& language) override;
    Recognition recognizeFile(const QString& soundFile, const QString& language) override;
    std::unique_ptr<SpeechTask> startTask(const QString& language, SpeechTask::Handler handler) override;

    // The model folder that serves `language`; empty when none is installed.
    QString modelFolder(const QString& language) const;
    // The desktop's language as a code ("en-US"); English when the desktop names none.
    static QString desktopLanguage();

  private:
    std::shared_ptr<SphinxModel> model(const QString& language);

    QString m_models;
    std::mutex m_mutex;
    QHash<QString, std::shared_ptr<SphinxModel>> m_loaded; // by model folder
};

} // namespace ombrel
