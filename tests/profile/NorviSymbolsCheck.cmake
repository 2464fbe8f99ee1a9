# Fails when the legacy program carries code of the newer subsystems: the
# upgrade, the module framework, the adapter or OBD. Run with
# -DNM=<nm> -DPROGRAM=<path to Norvi>.
execute_process(COMMAND ${NM} -C ${PROGRAM} OUTPUT_VARIABLE symbols RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "nm could not read ${PROGRAM}")
endif()
# A program with no symbols would pass anything below.
string(FIND "${symbols}" "lumex::TNorviTick::Run" tick)
if(tick EQUAL -1)
  message(FATAL_ERROR "${PROGRAM} has no symbols of its own tick: nothing to check")
endif()
set(forbidden
  "lumex::TUpgradeSession" "lumex::TUpgraderLogic" "lumex::TBootloader40Manager"
  "lumex::TManager::" "lumex::TBaseModule" "lumex::TModuleOBD" "lumex::TModuleAIO" "lumex::TModuleAdapter"
  "lumex::TModuleFile" "lumex::TLogicOBD" "lumex::TLogicAIO" "lumex::TLogicAdapter"
  "lumex::TAdapterProtocol" "lumex::TDevStateOBD" "lumex::TDevStateAdapter" "lumex::TDevStateAIO"
  "lumex::TOBDFreezeFrame" "lumex::TOBDMemo")
set(found "")
foreach(name IN LISTS forbidden)
  string(FIND "${symbols}" "${name}" at)
  if(NOT at EQUAL -1)
    list(APPEND found "${name}")
  endif()
endforeach()
if(found)
  message(FATAL_ERROR "${PROGRAM} links code it must not: ${found}")
endif()
