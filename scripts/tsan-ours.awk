# Reads ThreadSanitizer's reports and prints those in which an access or a lock taken is our own code's:
# the first frame of its stack that is neither the sanitizer's runtime nor an inline function of a system
# header lies under `top`/src or `top`/tests. Exits with 1 when it printed one.
/^WARNING: ThreadSanitizer:/ { inReport = 1; report = $0 "\n"; ours = 0; want = 0; next }
!inReport { next }
{ report = report $0 "\n" }
/^SUMMARY: ThreadSanitizer/ {
  if (ours) { printf "%s==================\n", report; found = 1 }
  inReport = 0
  next
}
# The stacks of the two accesses of a race, and of each lock taken in a lock-order cycle.
/^  (Read|Write|Atomic read|Atomic write|Previous read|Previous write|Previous atomic read|Previous atomic write) of size/ ||
/^  Mutex M[0-9]+ acquired here/ { want = 1; next }
# Where a block was allocated, a mutex or a thread made: not an access.
/^  [A-Z]/ { want = 0; next }
want && /^    #[0-9]+ / {
  if ($0 ~ /libtsan|sanitizer_common|\/tsan\/|\/usr\/include\//) next
  if (index($0, top "/src/") || index($0, top "/tests/")) ours = 1
  want = 0
}
END { exit found }
