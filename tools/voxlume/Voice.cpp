#include "tools/voxlume/Voice.h"

#include <windows.h>
#include <sapi.h>

Voice::Voice()
{
    comStarted = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    void* created = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_SpVoice, nullptr, CLSCTX_ALL, IID_ISpVoice, &created)))
        voice = static_cast<ISpVoice*>(created);
}

Voice::~Voice()
{
    if (voice != nullptr)
        voice->Release();
    if (comStarted)
        CoUninitialize();
}

void Voice::Speak(const std::wstring& words)
{
    if (voice == nullptr || words.empty())
        return;
    // Asynchronous, so the sender gets its answer without waiting for the
    // words to be spoken.
    voice->Speak(words.c_str(), SPF_ASYNC | SPF_PURGEBEFORESPEAK | SPF_IS_NOT_XML, nullptr);
}
