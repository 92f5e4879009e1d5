#include "debugger/debug_labels.h"

#include <algorithm>
#include <array>

namespace orvo {

namespace {

// The routine labels of the published 48K ROM disassembly, with "_" for its hyphens: the 300 the
// listings have always named, and every other routine the ROM calls or jumps to, so that no call
// in a listing shows a bare address where the disassembly has a name.
constexpr std::array<AddressLabel, 436> kRomLabels = {{
    {"START", 0x0000},     {"ERROR_1", 0x0008},    {"PRINT_A_1", 0x0010},    {"GET_CHAR", 0x0018},
    {"TEST_CHAR", 0x001C}, {"NEXT_CHAR", 0x0020},  {"FP_CALC", 0x0028},      {"BC_SPACES", 0x0030},
    {"MASK_INT", 0x0038},  {"KEY_INT", 0x0048},    {"ERROR_2", 0x0053},      {"ERROR_3", 0x0055},
    {"RESET", 0x0066},     {"CH_ADD_1", 0x0074},   {"TEMP_PTR1", 0x0077},    {"TEMP_PTR2", 0x0078},
    {"SKIP_OVER", 0x007D}, {"SKIPS", 0x0090},      {"MAIN_KEYS", 0x0205},    {"KEY_SCAN", 0x028E},
    {"KEY_LINE", 0x0296},  {"KEY_DONE", 0x02AB},   {"KEYBOARD", 0x02BF},     {"K_CH_SET", 0x02D1},
    {"K_NEW", 0x02F1},     {"K_REPEAT", 0x0310},   {"K_TEST", 0x031E},       {"K_DECODE", 0x0333},
    {"K_E_LET", 0x0341},   {"K_KLC_LET", 0x034F},  {"K_TOKENS", 0x0364},     {"K_GRA_DGT", 0x0389},
    {"K_KLC_DGT", 0x039D}, {"BEEPER", 0x03B5},     {"BE_H&L_LP", 0x03D6},    {"BE_AGAIN", 0x03F2},
    {"BE_I_OK", 0x0425},   {"BE_OCTAVE", 0x0427},  {"REPORT_B", 0x046C},     {"SEMI_TONE", 0x046E},
    {"SA_BYTES", 0x04C2},  {"SA_FLAG", 0x04D0},    {"SA_LEADER", 0x04D8},    {"SA_LOOP", 0x04FE},
    {"SA_START", 0x0507},  {"SA_PARITY", 0x050E},  {"SA_BIT_1", 0x0514},     {"SA_OUT", 0x051C},
    {"SA_8_BITS", 0x0525}, {"SA_DELAY", 0x053C},   {"SA_LD_END", 0x0554},    {"LD_BYTES", 0x0556},
    {"LD_BREAK", 0x056B},  {"LD_WAIT", 0x0574},    {"LD_LEADER", 0x0580},    {"LD_LOOP", 0x05A9},
    {"LD_FLAG", 0x05B3},   {"LD_NEXT", 0x05C2},    {"LD_DEC", 0x05C4},       {"LD_8_BITS", 0x05CA},
    {"LD_EDGE_2", 0x05E3}, {"LD_EDGE_1", 0x05E7},  {"LD_DELAY", 0x05E9},     {"LD_SAMPLE", 0x05ED},
    {"SAVE_ETC", 0x0605},  {"SA_SPACE", 0x0621},   {"SA_BLANK", 0x0629},     {"SA_NAME", 0x064B},
    {"SA_DATA", 0x0652},   {"SA_V_NEW", 0x0685},   {"SA_V_TYPE", 0x068F},    {"SA_CODE", 0x06C3},
    {"SA_LINE", 0x0716},   {"SA_ALL", 0x075A},     {"LD_LOOK_H", 0x0767},    {"LD_TYPE", 0x078A},
    {"LD_CH_PR", 0x07AD},  {"LD_BLOCK", 0x0802},   {"REPORT_R", 0x0806},     {"LD_CONTRL", 0x0808},
    {"LD_PROG", 0x0873},   {"ME_CONTRL", 0x08B6},  {"ME_OLD_LP", 0x08D7},    {"ME_VAR_LP", 0x08F0},
    {"ME_ENTER", 0x092C},  {"SA_CONTRL", 0x0970},  {"TAPE_MSGS", 0x09A1},    {"PRINT_OUT", 0x09F4},
    {"PO_CHANGE", 0x0A80}, {"PO_CONT", 0x0A87},    {"PO_AT_SET", 0x0ABF},    {"PO_TAB", 0x0AC2},
    {"PO_ABLE", 0x0AD9},   {"PO_STORE", 0x0ADC},   {"PO_ST_E", 0x0AF0},      {"PO_FETCH", 0x0B03},
    {"PO_F_PR", 0x0B1D},   {"PO_ANY", 0x0B24},     {"PO_GR_1", 0x0B38},      {"PO_GR_2", 0x0B3E},
    {"PO_T&UDG", 0x0B52},  {"PO_T", 0x0B5F},       {"PO_CHAR", 0x0B65},      {"PR_ALL", 0x0B7F},
    {"PO_ATTR", 0x0BDB},   {"PO_MSG", 0x0C0A},     {"PO_TOKENS", 0x0C10},    {"PO_EACH", 0x0C22},
    {"PO_TR_SP", 0x0C35},  {"PO_SAVE", 0x0C3B},    {"PO_SEARCH", 0x0C41},    {"PO_STEP", 0x0C44},
    {"PO_SCR", 0x0C55},    {"REPORT_5", 0x0C86},   {"PO_SCR_4", 0x0D02},     {"TEMPS", 0x0D4D},
    {"CLS", 0x0D6B},       {"CLS_LOWER", 0x0D6E},  {"CL_CHAN", 0x0D94},      {"CL_CHAN_A", 0x0DA0},
    {"CL_ALL", 0x0DAF},    {"CL_SET", 0x0DD9},     {"CL_SC_ALL", 0x0DFE},    {"CL_SCROLL", 0x0E00},
    {"CL_LINE", 0x0E44},   {"CL_ATTR", 0x0E88},    {"CL_ADDR", 0x0E9B},      {"COPY_BUFF", 0x0ECD},
    {"COPY_END", 0x0EDA},  {"CLEAR_PRB", 0x0EDF},  {"COPY_LINE", 0x0EF4},    {"EDITOR", 0x0F2C},
    {"ED_AGAIN", 0x0F30},  {"ED_CONTR", 0x0F6C},   {"ADD_CHAR", 0x0F81},     {"ED_STOP", 0x1001},
    {"ED_RIGHT", 0x100C},  {"ED_IGNORE", 0x101E},  {"ED_ENTER", 0x1024},     {"ED_EDGE", 0x1031},
    {"ED_EDGE_1", 0x103E}, {"ED_LIST", 0x106E},    {"ED_ERROR", 0x107F},     {"CLEAR_SP", 0x1097},
    {"KEY_INPUT", 0x10A8}, {"KEY_M_&_CL", 0x10DB}, {"KEY_MODE", 0x10E6},     {"KEY_CONTR", 0x10FA},
    {"KEY_DATA", 0x1105},  {"KEY_CHAN", 0x1113},   {"ED_COPY", 0x111D},      {"ED_SPACES", 0x115E},
    {"ED_FULL", 0x1167},   {"SET_HL", 0x1190},     {"SET_DE", 0x1195},       {"REMOVE_FP", 0x11A7},
    {"START_NEW", 0x11CB}, {"RAM_READ", 0x11E2},   {"RAM_DONE", 0x11EF},     {"MAIN_EXEC", 0x12A2},
    {"MAIN_2", 0x12AC},    {"MAIN_G", 0x1313},     {"REPORTS", 0x1391},      {"MAIN_ADD", 0x155D},
    {"INIT_CHAN", 0x15AF}, {"WAIT_KEY", 0x15D4},   {"INPUT_AD", 0x15E6},     {"OUT_CODE", 0x15EF},
    {"PRINT_A_2", 0x15F2}, {"CALL_SUB", 0x15F7},   {"CHAN_OPEN", 0x1601},    {"REPORT_O", 0x160E},
    {"CHAN_FLAG", 0x1615}, {"CALL_JUMP", 0x162C},  {"CHN_CD_LU", 0x162D},    {"ONE_SPACE", 0x1652},
    {"MAKE_ROOM", 0x1655}, {"POINTERS", 0x1664},   {"PTR_DONE", 0x167F},     {"LINE_ZERO", 0x168F},
    {"LINE_NO", 0x1695},   {"RESERVE", 0x169E},    {"SET_MIN", 0x16B0},      {"SET_WORK", 0x16BF},
    {"SET_STK", 0x16C5},   {"INDEXER", 0x16DC},    {"CLOSE_2", 0x1701},      {"CL_STR_LU", 0x1716},
    {"STR_DATA", 0x171E},  {"OPEN_2", 0x175D},     {"OPEN_P", 0x1789},       {"OPEN_END", 0x178B},
    {"AUTO_LIST", 0x1795}, {"LIST_ALL", 0x1833},   {"OUT_LINE", 0x1855},     {"OUT_LINE2", 0x187D},
    {"NUMBER", 0x18B6},    {"OUT_FLASH", 0x18C1},  {"OUT_CURS", 0x18E1},     {"LN_FETCH", 0x190F},
    {"LN_STORE", 0x191C},  {"OUT_SP_NO", 0x192A},  {"OUT_CHAR", 0x1937},     {"LINE_ADDR", 0x196E},
    {"CP_LINES", 0x1980},  {"EACH_STMT", 0x198B},  {"NEXT_ONE", 0x19B8},     {"NEXT_O_1", 0x19C7},
    {"DIFFER", 0x19DD},    {"RECLAIM_1", 0x19E5},  {"RECLAIM_2", 0x19E8},    {"E_LINE_NO", 0x19FB},
    {"OUT_NUM_1", 0x1A1B}, {"OUT_NUM_2", 0x1A28},  {"OFFST_TBL", 0x1A48},    {"LINE_SCAN", 0x1B17},
    {"STMT_LOOP", 0x1B28}, {"STMT_L_1", 0x1B29},   {"SCAN_LOOP", 0x1B52},    {"SEPARATOR", 0x1B6F},
    {"STMT_RET", 0x1B76},  {"LINE_RUN", 0x1B8A},   {"LINE_NEW", 0x1B9E},     {"LINE_END", 0x1BB3},
    {"NEXT_LINE", 0x1BD1}, {"REPORT_N", 0x1BEC},   {"CHECK_END", 0x1BEE},    {"STMT_NEXT", 0x1BF4},
    {"CLASS_TBL", 0x1C01}, {"CLASS_01", 0x1C1F},   {"REPORT_2_2", 0x1C2E},   {"VAL_FET_1", 0x1C56},
    {"VAL_FET_2", 0x1C59}, {"NEXT_2NUM", 0x1C79},  {"EXPT_1NUM", 0x1C82},    {"REPORT_C", 0x1C8A},
    {"EXPT_EXP", 0x1C8C},  {"FETCH_NUM", 0x1CDE},  {"USE_ZERO", 0x1CE6},     {"F_REORDER", 0x1D16},
    {"F_L_S", 0x1D34},     {"F_FOUND", 0x1D7C},    {"REPORT_I", 0x1D84},     {"LOOK_PROG", 0x1D86},
    {"NEXT_LOOP", 0x1DDA}, {"PASS_BY", 0x1E39},    {"REST_RUN", 0x1E45},     {"RANDOMIZE", 0x1E4F},
    {"GO_TO", 0x1E67},     {"GO_TO_2", 0x1E73},    {"TWO_PARAM", 0x1E85},    {"FIND_INT1", 0x1E94},
    {"FIND_INT2", 0x1E99}, {"REPORT_B_2", 0x1E9F}, {"CLEAR_RUN", 0x1EAF},    {"TEST_ROOM", 0x1F05},
    {"REPORT_4", 0x1F15},  {"PAUSE_END", 0x1F4F},  {"BREAK_KEY", 0x1F54},    {"UNSTACK_Z", 0x1FC3},
    {"PRINT", 0x1FCD},     {"PRINT_2", 0x1FDF},    {"PRINT_CR", 0x1FF5},     {"PR_ITEM_1", 0x1FFC},
    {"PR_STRING", 0x203C}, {"PR_END_Z", 0x2045},   {"PR_ST_END", 0x2048},    {"PR_POSN_1", 0x204E},
    {"STR_ALTER", 0x2070}, {"IN_ITEM_1", 0x20C1},  {"IN_PROMPT", 0x20FA},    {"IN_NEXT_1", 0x21AF},
    {"IN_NEXT_2", 0x21B2}, {"IN_ASSIGN", 0x21B9},  {"IN_STOP", 0x21D0},      {"IN_CHAN_K", 0x21D6},
    {"CO_TEMP_2", 0x21E2}, {"CO_TEMP_3", 0x21F2},  {"CO_TEMP_4", 0x21FC},    {"CO_TEMP_5", 0x2211},
    {"CO_TEMP_A", 0x2257}, {"CO_TEMP_B", 0x2258},  {"CO_CHANGE", 0x226C},    {"CO_TEMP_C", 0x2273},
    {"CO_TEMP_D", 0x227D}, {"PIXEL_ADD", 0x22AA},  {"POINT_SUB", 0x22CB},    {"PLOT", 0x22DC},
    {"PLOT_SUB", 0x22E5},  {"PLOT_LOOP", 0x22F0},  {"PLOT_END", 0x2303},     {"STK_TO_BC", 0x2307},
    {"STK_TO_A", 0x2314},  {"DRAW", 0x2382},       {"DRW_STEPS", 0x2420},    {"ARC_LOOP", 0x2425},
    {"ARC_END", 0x245F},   {"LINE_DRAW", 0x2477},  {"CD_PRMS1", 0x247D},     {"DRAW_SAVE", 0x2497},
    {"DRAW_LINE", 0x24B7}, {"DL_LARGER", 0x24CB},  {"D_L_LOOP", 0x24CE},     {"D_L_HR_VT", 0x24DB},
    {"D_L_STEP", 0x24DF},  {"D_L_RANGE", 0x24F7},  {"REPORT_B_3", 0x24F9},   {"SCANNING", 0x24FB},
    {"S_LOOP_1", 0x24FF},  {"S_QUOTE_S", 0x250F},  {"S_2_COORD", 0x2522},    {"S_RPORT_C", 0x252D},
    {"SYNTAX_Z", 0x2530},  {"S_SCRN_S", 0x2535},   {"S_ATTR_S", 0x2580},     {"SCANFUNC", 0x2596},
    {"S_Q_COPY", 0x25CB},  {"S_Q_PRMS", 0x25D9},   {"S_STRING", 0x25DB},     {"S_RND_END", 0x2625},
    {"S_PI_END", 0x2630},  {"S_INK$_EN", 0x2665},  {"S_ALPHNUM", 0x2684},    {"S_SD_SKIP", 0x26B6},
    {"S_NUMERIC", 0x26C3}, {"S_NEGATE", 0x26DF},   {"S_NO_TO_$", 0x2707},    {"S_PUSH_PO", 0x270D},
    {"S_CONT_2", 0x2712},  {"S_OPERTR", 0x2723},   {"S_LOOP", 0x2734},       {"S_RUNTEST", 0x2764},
    {"S_TIGHTER", 0x2773}, {"S_FN_SBRN", 0x27BD},  {"FN_SKPOVR", 0x28AB},    {"LOOK_VARS", 0x28B2},
    {"V_RUN_SYN", 0x28EF}, {"V_FOUND_2", 0x293F},  {"STK_F_ARG", 0x2951},    {"STK_VAR", 0x2996},
    {"REPORT_3", 0x2A20},  {"SV_SLICE?", 0x2A49},  {"SLICING", 0x2A52},      {"STK_ST_0", 0x2AB1},
    {"STK_STO", 0x2AB2},   {"STK_STORE", 0x2AB6},  {"INT_EXP1", 0x2ACC},     {"INT_EXP2", 0x2ACD},
    {"DE_DE_1", 0x2AEE},   {"GET_HL*DE", 0x2AF4},  {"LET", 0x2AFF},          {"L_NEW", 0x2BC0},
    {"L_STRING", 0x2BC6},  {"L_FIRST", 0x2BEA},    {"STK_FETCH", 0x2BF1},    {"ALPHANUM", 0x2C88},
    {"ALPHA", 0x2C8D},     {"DEC_TO_FP", 0x2C9B},  {"NUMERIC", 0x2D1B},      {"STK_DIGIT", 0x2D22},
    {"STACK_A", 0x2D28},   {"STACK_BC", 0x2D2B},   {"INT_TO_FP", 0x2D3B},    {"E_TO_FP", 0x2D4F},
    {"INT_FETCH", 0x2D7F}, {"INT_STORE", 0x2D8E},  {"FP_TO_BC", 0x2DA2},     {"LOG_2_A", 0x2DC1},
    {"FP_TO_A", 0x2DD5},   {"PRINT_FP", 0x2DE3},   {"PF_FRACTN", 0x2ECF},    {"PF_E_SBRN", 0x2F4A},
    {"PF_OUT_LP", 0x2F52}, {"PF_E_POS", 0x2F83},   {"CA_10A_C", 0x2F8B},     {"PREP_ADD", 0x2F9B},
    {"FETCH_TWO", 0x2FBA}, {"SHIFT_FP", 0x2FDD},   {"ZEROS_4_5", 0x2FFB},    {"ADD_BACK", 0x3004},
    {"SUBTRACT", 0x300F},  {"HL_HL*DE", 0x30A9},   {"PREP_M/D", 0x30C0},     {"DIVN_EXPT", 0x313D},
    {"OFLW1_CLR", 0x3146}, {"TEST_NORM", 0x3155},  {"REPORT_6", 0x31AD},     {"DIVISION", 0x31AF},
    {"DIV_LOOP", 0x31D2},  {"TRUNCATE", 0x3214},   {"RE_ST_TWO", 0x3293},    {"RESTK_SUB", 0x3296},
    {"RE_STACK", 0x3297},  {"STK_ZERO", 0x32C5},   {"TBL_ADDRS", 0x32D7},    {"CALCULATE", 0x335B},
    {"GEN_ENT_1", 0x335E}, {"GEN_ENT_2", 0x3362},  {"FIRST_3D", 0x3380},     {"TEST_5_SP", 0x33A9},
    {"STACK_NUM", 0x33B4}, {"MOVE_FP", 0x33C0},    {"STK_CONST", 0x33C8},    {"SKIP_CONS", 0x33F7},
    {"LOC_MEM", 0x3406},   {"GET_MEM_XX", 0x340F}, {"STK_CONST_XX", 0x341B}, {"EXCHANGE", 0x343C},
    {"SERIES_XX", 0x3449}, {"NEGATE", 0x346E},     {"SGN", 0x3492},          {"PEEK", 0x34AC},
    {"USR_NO", 0x34B3},    {"TEST_ZERO", 0x34E9},  {"GREATER_0", 0x34F9},    {"NOT", 0x3501},
    {"FP_0_1", 0x350B},    {"NO_&_NO", 0x3524},    {"STR_&_NO", 0x352D},     {"STRS_ADD", 0x359C},
    {"STK_PNTRS", 0x35BF}, {"VAL", 0x35DE},        {"STR$", 0x361F},         {"CODE", 0x3669},
    {"LEN", 0x3674},       {"JUMP", 0x3686},       {"JUMP_TRUE", 0x368F},    {"N_MOD_M", 0x36A0},
    {"INT", 0x36AF},       {"LN", 0x3713},         {"GET_ARGT", 0x3783},     {"SIN", 0x37B5},
    {"ATN", 0x37E2},       {"ASN", 0x3833},        {"ACS", 0x3843},          {"SQR", 0x384A},
}};

constexpr std::array<AddressLabel, 69> kSystemVariables = {{
    {"KSTATE", 0x5C00}, {"LAST_K", 0x5C08}, {"REPDEL", 0x5C09}, {"REPPER", 0x5C0A},
    {"DEFADD", 0x5C0B}, {"K_DATA", 0x5C0D}, {"TVDATA", 0x5C0E}, {"STRMS", 0x5C10},
    {"CHAR", 0x5C36},   {"RASP", 0x5C38},   {"PIP", 0x5C39},    {"ERR_NR", 0x5C3A},
    {"FLAGS", 0x5C3B},  {"TVFLAG", 0x5C3C}, {"ERR_SP", 0x5C3D}, {"LISTSP", 0x5C3F},
    {"MODE", 0x5C41},   {"NEWPPC", 0x5C42}, {"NSPPC", 0x5C44},  {"PPC", 0x5C45},
    {"SUBPPC", 0x5C47}, {"BORDCR", 0x5C48}, {"E_PPC", 0x5C49},  {"VARS", 0x5C4B},
    {"DEST", 0x5C4D},   {"CHANS", 0x5C4F},  {"CURCHL", 0x5C51}, {"PROG", 0x5C53},
    {"NXTLIN", 0x5C55}, {"DATADD", 0x5C57}, {"E_LINE", 0x5C59}, {"K_CUR", 0x5C5B},
    {"CH_ADD", 0x5C5D}, {"X_PTR", 0x5C5F},  {"WORKSP", 0x5C61}, {"STKBOT", 0x5C63},
    {"STKEND", 0x5C65}, {"B_REG", 0x5C67},  {"MEM", 0x5C68},    {"FLAGS2", 0x5C6A},
    {"DF_SZ", 0x5C6B},  {"S_TOP", 0x5C6C},  {"OLDPPC", 0x5C6E}, {"OSPPC", 0x5C70},
    {"FLAGSX", 0x5C71}, {"STRLEN", 0x5C72}, {"T_ADDR", 0x5C74}, {"SEED", 0x5C76},
    {"FRAMES", 0x5C78}, {"UDG", 0x5C7B},    {"COORDS", 0x5C7D}, {"P_POSN", 0x5C7F},
    {"PR_CC", 0x5C80},  {"UNUSED", 0x5C81}, {"ECHO_E", 0x5C82}, {"DF_CC", 0x5C84},
    {"DFCCL", 0x5C86},  {"S_POSN", 0x5C88}, {"SPOSNL", 0x5C8A}, {"SCR_CT", 0x5C8C},
    {"ATTR_P", 0x5C8D}, {"MASK_P", 0x5C8E}, {"ATTR_T", 0x5C8F}, {"MASK_T", 0x5C90},
    {"P_FLAG", 0x5C91}, {"MEMBOT", 0x5C92}, {"INTERR", 0x5CB0}, {"RAMTOP", 0x5CB2},
    {"P_RAMT", 0x5CB4},
}};

const char* Find(std::span<const AddressLabel> table, uint16_t address) {
  const auto it = std::lower_bound(table.begin(), table.end(), address,
                                   [](const AddressLabel& l, uint16_t a) { return l.address < a; });
  return it != table.end() && it->address == address ? it->name : nullptr;
}

}  // namespace

std::span<const AddressLabel> RomLabels() {
  return kRomLabels;
}
std::span<const AddressLabel> SystemVariables() {
  return kSystemVariables;
}
const char* RomLabelAt(uint16_t address) {
  return Find(kRomLabels, address);
}
const char* SystemVariableAt(uint16_t address) {
  return Find(kSystemVariables, address);
}

}  // namespace orvo
