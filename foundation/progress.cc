#include "foundation/progress.h"

namespace fernweave {
namespace {

ProgressFactory* current_factory = nullptr;

}  // namespace

std::unique_ptr<Progress> MakeProgress() {
  if (current_factory != nullptr) {
    if (std::unique_ptr<Progress> progress = current_factory->Make()) {
      return progress;
    }
  }
  return std::make_unique<NullProgress>();
}

ProgressFactory* SetProgressFactory(ProgressFactory* factory) {
  ProgressFactory* previous = current_factory;
  current_factory = factory;
  return previous;
}

}  // namespace fernweave
