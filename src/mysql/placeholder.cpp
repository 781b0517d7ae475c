// Placeholder so the library has a translation unit until its first module lands.
namespace veltrano { namespace { [[maybe_unused]] int kPlaceholder_mysql = 0; } }
