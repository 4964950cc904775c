// TDIBWorkspace: the working memory of the page operations that need more than a few values of
// it (the run lists and component tables of the component search, the line buffers of the local
// filters, the scratch page of the local mean and deviation threshold, the dark maps and profiles
// of skew detection). An owner that processes page after page, as the clean-up pipeline does,
// keeps one and hands it to each call: the memory is allocated once and grown only when a larger
// page comes, so that the operations' cost does not depend on the allocator's state. What a
// workspace held before never changes a result. One operation at a time: a workspace is not
// shared between threads.
#pragma once

#include <cstddef>
#include <memory>

class TDIBWorkspace {
 public:
  // The buffers themselves, known only to the operations that use them.
  struct TParts;

  // Holds no memory until an operation first uses it.
  TDIBWorkspace();
  ~TDIBWorkspace();
  // A copy starts without memory of its own, and assigning keeps this workspace's memory:
  // working memory is never shared.
  TDIBWorkspace(const TDIBWorkspace&);
  TDIBWorkspace& operator=(const TDIBWorkspace&) { return *this; }

  // The buffers, made on the first call.
  TParts& Parts();
  // The bytes of working memory held now.
  size_t Capacity() const;

 private:
  std::unique_ptr<TParts> FParts;
};
