# Runs the fuzzer for SECONDS on a fresh copy of the seed corpus in WORK, so the committed seeds
# are never modified; crash and leak reproducers land in WORK/artifacts.  Fails on any finding.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/artifacts)
file(COPY ${SEEDS}/ DESTINATION ${WORK}/corpus)
execute_process(
  COMMAND ${FUZZER} -max_total_time=${SECONDS} -timeout=10 -print_final_stats=1
          -artifact_prefix=${WORK}/artifacts/ ${WORK}/corpus
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  file(GLOB findings ${WORK}/artifacts/*)
  message(FATAL_ERROR "the fuzzer reported a finding (exit ${result}): ${findings}")
endif()
