#include "display/VoiceEngine.h"

#include <sapi.h>

namespace {

class SapiVoice : public VoiceEngine {
public:
    explicit SapiVoice(ISpVoice* made) : voice(made) {}
    ~SapiVoice() override { voice->Release(); }
    SapiVoice(const SapiVoice&) = delete;
    SapiVoice& operator=(const SapiVoice&) = delete;

    HRESULT Speak(const std::wstring& words) override
    {
        // Asynchronous: the call queues the words and returns; the purge
        // keeps SAPI's own queue from growing a backlog.
        return voice->Speak(words.c_str(), SPF_ASYNC | SPF_PURGEBEFORESPEAK | SPF_IS_NOT_XML, nullptr);
    }

    void Silence() override { voice->Speak(nullptr, SPF_ASYNC | SPF_PURGEBEFORESPEAK, nullptr); }

    HANDLE Finished() override { return voice->SpeakCompleteEvent(); }

private:
    ISpVoice* voice;  // owned: released in the destructor
};

}  // namespace

std::unique_ptr<VoiceEngine> MakeSapiVoice(HRESULT& failure)
{
    void* made = nullptr;
    failure = CoCreateInstance(CLSID_SpVoice, nullptr, CLSCTX_ALL, IID_ISpVoice, &made);
    if (FAILED(failure) || made == nullptr) {
        if (SUCCEEDED(failure))
            failure = E_NOINTERFACE;
        return nullptr;
    }
    return std::make_unique<SapiVoice>(static_cast<ISpVoice*>(made));
}
