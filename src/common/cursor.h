#pragma once
// The application-wide cursor and the scoped busy cursor.

namespace screen {

// Cursor identifiers: 0 lets every control show its own cursor; -11 is the hourglass.
inline constexpr short crDefault = 0;
inline constexpr short crHourGlass = -11;

// The current application-wide cursor identifier.
short Cursor() noexcept;
// Makes id the application-wide cursor and shows it at once; crDefault hands the cursor
// back to the control under the pointer.
void SetCursor(short id) noexcept;

}  // namespace screen

// Shows the hourglass for the lifetime of a local object and restores the previous
// application-wide cursor on every way out of the scope. Nested objects restore in reverse.
class TCursorHourGlass {
 public:
  TCursorHourGlass() noexcept;
  ~TCursorHourGlass();
  TCursorHourGlass(const TCursorHourGlass&) = delete;
  TCursorHourGlass& operator=(const TCursorHourGlass&) = delete;

 private:
  short FSavedCursor;
};
