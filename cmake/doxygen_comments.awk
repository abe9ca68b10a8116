#!/usr/bin/awk -f
# Doxygen's input filter for the public headers: their comments are plain `//` comments, and this
# shows them to Doxygen as documentation without changing the files.
#   - the comment block at the top of a header documents the file;
#   - a whole-line comment documents what follows it;
#   - a comment after code on the same line ("int x = 0;  // seconds") documents that member, and
#     so do the comment lines right under it that start in the same column;
#   - preprocessor lines and closing braces ("}  // namespace x") keep their comments to themselves.
# Usage (by Doxygen): doxygen_comments.awk HEADER

function comment_column(line) {
  return index(line, "//")
}

BEGIN {
  in_header = 1
  trailing_column = 0
}

{
  line = $0

  # The file comment, up to the first line that is not a comment.
  if (in_header) {
    if (line ~ /^\/\//) {
      sub(/^\/\//, "///", line)
      # On the same line, so that Doxygen's line numbers stay those of the header.
      if (NR == 1) line = "/** @file */ " line
      print line
      next
    }
    in_header = 0
  }

  if (line ~ /^[ \t]*#/ || line ~ /^[ \t]*}/) {
    trailing_column = 0
    print line
    next
  }

  # A whole-line comment: continues a member's comment above it, or documents what follows.
  if (line ~ /^[ \t]*\/\//) {
    if (line ~ /NOLINT/) {
      print line
      next
    }
    if (trailing_column > 0 && comment_column(line) == trailing_column) {
      sub(/\/\//, "///<", line)
    } else {
      trailing_column = 0
      sub(/\/\//, "///", line)
    }
    print line
    next
  }

  # A comment after code, set off by two spaces.
  position = index(line, "  // ")
  if (position > 0 && line !~ /NOLINT/) {
    trailing_column = position + 2
    line = substr(line, 1, position + 1) "///<" substr(line, position + 4)
    print line
    next
  }

  trailing_column = 0
  print line
}
