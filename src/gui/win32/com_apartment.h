// COM for the calling thread while an object lives: what the Windows Imaging Component and the
// shell's folder dialog need around each call. Both keep their interfaces in
// Microsoft::WRL::ComPtr, declared after the apartment so that they are released before it ends.
#pragma once

#include <objbase.h>

namespace kel::win32 {

// Joins the single-threaded apartment, as the shell's dialogs require, and leaves it again: every
// successful CoInitializeEx (S_FALSE included: already joined) is balanced by one CoUninitialize.
// A thread already in the multithreaded apartment (RPC_E_CHANGED_MODE) stays there and is not
// uninitialised; COM is usable in it all the same.
class ComApartment {
 public:
  ComApartment() noexcept
      : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
  ~ComApartment() {
    if (SUCCEEDED(result_)) CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

  // S_OK when COM can be used on this thread, the failure of CoInitializeEx otherwise.
  HRESULT Status() const noexcept { return result_ == RPC_E_CHANGED_MODE ? S_OK : result_; }

 private:
  HRESULT result_;
};

}  // namespace kel::win32
