#include "common/conf/ParameterDefinitions.h"

namespace vexaconf {

namespace {

#define VEXA_LOG_LEVELS \
    "НЕ_ВЫВОДИТЬ|БЕЗУСЛОВНОЕ|ОШИБКА|ПРЕДУПРЕЖДЕНИЕ|ИНФОРМАЦИОННОЕ|КОНФИГУРАЦИЯ|ОТЛАДКА|ОТЛАДКА_2"

// Indexed by code; the index of a log-level word is the logger's severity.
const char* const kRows[41] = {
    nullptr,
    "TRANSPORT.NUMBER_OF_BUFFERS;Целочисленный;1 - 65535;1024;",
    "TRANSPORT.BUFFER_SIZE;Целочисленный;1 - 65507;65507;",
    "TRANSPORT.REPORT_TIMEOUT;Целочисленный;1 - 60;5;",
    "TRANSPORT.DISPATCHER_TIMEOUT;Целочисленный;1 - 60;5;",
    "TRANSPORT.SELECT_TIMEOUT;Целочисленный;1 - 60;5;",
    "TRANSPORT.MULTICAST_INTERFACE;IP адрес;IP адрес любого сетевого интерфейса хоста или 0.0.0.0 "
    "для рассылки через все доступные интерфейсы;0.0.0.0;",
    "TRANSPORT.MAX_TR_DATA_SIZE;Целочисленный;1000 - 65507;65507;",
    "DSVC.SERVER_PORT;Целочисленный;1024 - 65535;7399;",
    "DSVC.SERVER_IP;Строковый;IP-адреса в формате XXX.XXX.XXX.XXX, разделенные запятой;"
    "<Пустая строка>;",
    "TRANSPORT.NUMBER_OF_RTPS_BUFFERS;Целочисленный;1 - 65535;64;",
    "DCPS.READABLE_LOG_LEVEL;Перечислимый;" VEXA_LOG_LEVELS ";ПРЕДУПРЕЖДЕНИЕ;",
    "DCPS.READABLE_LOG_FILES_NUMBER;Целочисленный;2 - 10;2;",
    "DCPS.READABLE_LOG_FILE_SIZE;Целочисленный;100000 - 2000000000;1000000;",
    "DCPS.BINARY_LOG_LEVEL;Перечислимый;" VEXA_LOG_LEVELS ";КОНФИГУРАЦИЯ;",
    "DCPS.BINARY_LOG_FILES_NUMBER;Целочисленный;2 - 10;10;",
    "DCPS.BINARY_LOG_FILE_SIZE;Целочисленный;100000 - 2000000000;1000000;",
    "DCPS.MAX_SAMPLES_PER_DW_LIMIT;Целочисленный;1 - 10000;1024;",
    "DCPS.MAX_SAMPLES_PER_DR_LIMIT;Целочисленный;1 - 10000;1024;",
    "DCPS.NUMBER_OF_PREALLOCATED_SAMPLES_PER_READER;Целочисленный;0 - 1000;10;",
    "DCPS.COLLECT_GARBAGE_PERIOD;Целочисленный;0 - 3600;300;",
    "BUSINESS.DEFAULT_UNICAST_IP;IP адрес;Любой действительный unicast IP адрес;127.0.0.1;",
    "BUSINESS.DEFAULT_MULTICAST_IP;IP адрес;239.0.0.0/8;239.0.0.2;",
    "BUSINESS.HEARTBEAT_PERIOD;Целочисленный;100 - MAXINT;10000;",
    "BUSINESS.HEARTBEAT_RESPONSE_DELAY;Целочисленный;0 - MAXINT;500;",
    "BUSINESS.NACK_RESPONSE_DELAY;Целочисленный;0 - MAXINT;200;",
    "BUSINESS.NACK_SUPPRESSION_DURATION;Целочисленный;0 - MAXINT;0;",
    "BUSINESS.PUSH_MODE;Логический;ДА|НЕТ;ДА;",
    "BUSINESS.RESEND_PERIOD;Целочисленный;100 - MAXINT;30000;",
    "BUSINESS.CHECK_INCOMING_PERIOD;Целочисленный;1000 - MAXINT;10000;",
    "BUSINESS.SPDP_ANNOUNCE_PERIOD;Целочисленный;10 - MAXINT;30000;",
    "BUSINESS.PARTICIPANT_LEASE_DURATION;Целочисленный;15 - MAXINT;45000;",
    "BUSINESS.USER_MULTICASTING_MODE;Перечислимый;ОТКЛЮЧЕН|ПО_ПИСАТЕЛЯМ|ПО_ТЕМАМ;ПО_ТЕМАМ;",
    "DS.READABLE_LOG_LEVEL;Перечислимый;" VEXA_LOG_LEVELS ";ПРЕДУПРЕЖДЕНИЕ;",
    "DS.READABLE_LOG_FILES_NUMBER;Целочисленный;2 - 10;2;",
    "DS.READABLE_LOG_FILE_SIZE;Целочисленный;100000 - 2000000000;1000000;",
    "DS.BINARY_LOG_LEVEL;Перечислимый;" VEXA_LOG_LEVELS ";КОНФИГУРАЦИЯ;",
    "DS.BINARY_LOG_FILES_NUMBER;Целочисленный;2 - 10;10;",
    "DS.BINARY_LOG_FILE_SIZE;Целочисленный;100000 - 2000000000;1000000;",
    "DS.MAX_SAMPLES_PER_DR_LIMIT;Целочисленный;1 - 10000;1024;",
    "DS.COLLECT_GARBAGE_PERIOD;Целочисленный;0 - 3600;300;",
};

#undef VEXA_LOG_LEVELS

}  // namespace

const char* parameterDefinitionRow(unsigned code) {
    return code <= 40 ? kRows[code] : nullptr;
}

}  // namespace vexaconf
