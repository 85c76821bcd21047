# Doxygen input filter: reads a public header written with plain // comments and hands Doxygen
# the same header with those comments as documentation.
#
# - The banner (the comment lines before the first other line) documents the file.
# - A comment block documents the declaration that follows it.  Inside a class, a block followed
#   by several declarations (up to a blank line, a comment, an access specifier, a preprocessor
#   line, a destructor, an override (documented in the base) or the end of the class) documents
#   all of them: they become one member group, whose documentation Doxygen gives to every member
#   (DISTRIBUTE_GROUP_DOC).
# - A comment block followed by a conditional (#if, #else, #endif, ...) documents nothing: it
#   stays a plain comment, so that it does not land on whatever Doxygen meets next.
# - A comment after a declaration on its line documents that declaration (///<); one after the
#   closing brace of a namespace or an extern "C" block stays a plain comment.
# - NOLINT comments are for clang-tidy and are dropped.

function is_comment(text) { return text ~ /^[ \t]*\/\// }

function is_conditional(text) { return text ~ /^[ \t]*#[ \t]*(if|ifdef|ifndef|elif|else|endif)/ }

# Lines that end a run of declarations sharing one comment.
function ends_run(text) {
  return text ~ /^[ \t]*$/ || text ~ /^[ \t]*#/ || text ~ /^[ \t]*(public|protected|private):/ ||
         text ~ /^[ \t]*};/ || text ~ /^[ \t]*~/ || text ~ /override;/ ||
         text ~ /(class|struct|namespace) .*{$/ || is_comment(text)
}

{
  text = $0
  if (text ~ /^[ \t]*\/\/ NOLINT/) {
    next
  }
  sub(/[ \t]*\/\/ NOLINT.*$/, "", text)
  lines[++count] = text
}

END {
  i = 1
  if (count > 0 && is_comment(lines[1])) {
    print "/// \\file"
    for (; i <= count && is_comment(lines[i]); ++i) {
      sub(/^\/\//, "///", lines[i])
      print lines[i]
    }
  }
  for (; i <= count; ++i) {
    text = lines[i]
    if (is_comment(text)) {
      # A block: find the declarations after it.
      first = i
      while (i <= count && is_comment(lines[i])) {
        ++i
      }
      if (i <= count && is_conditional(lines[i])) {
        for (j = first; j < i; ++j) {
          print lines[j]
        }
        --i
        continue
      }
      last = i
      while (last <= count && !ends_run(lines[last])) {
        ++last
      }
      group = last - i > 1
      if (group) {
        print "  ///@{"
      }
      for (j = first; j < i; ++j) {
        sub(/\/\//, "///", lines[j])
        print lines[j]
      }
      for (; i < last; ++i) {
        print trailing(lines[i])
      }
      if (group) {
        print "  ///@}"
      }
      --i
      continue
    }
    print trailing(text)
  }
}

# `code; // text` becomes `code; ///< text`.
function trailing(text,    head, tail) {
  if (!is_comment(text) && text !~ /^[ \t]*}[ \t]*\/\// && match(text, /[;{}][ \t]*\/\/ /)) {
    head = substr(text, 1, RSTART)
    tail = substr(text, RSTART + 1)
    sub(/\/\/ /, "///< ", tail)
    return head tail
  }
  return text
}
