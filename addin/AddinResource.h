// Ids of the add-in's own resources (resources/QuillOff/QuillOff.rc), one
// section per concern. The shared code's ids are in shared/SharedResource.h.
#pragma once

// Registration.
#define IDR_QUILLOFF 19000 // the registry script, resource type "REGISTRY"

// Command bars and buttons: the bar's name, the buttons' captions, their
// face and mask bitmaps, and the texts the buttons' shared helpers show.
#define IDS_OPERATION_UNKNOWN 19003   // the error report's text when none is given
#define IDS_OFFLINE_UNAVAILABLE 19031 // a command clicked while Outlook is offline
#define IDS_BAR_NAME 19046            // both bars: explorer and inspector
#define IDS_SEND_CAPTION 19047
#define IDS_SYNC_CAPTION 19048
#define IDB_SEND_FACE 19011
#define IDB_SEND_MASK 19018
#define IDB_SYNC_FACE 19028
#define IDB_SYNC_MASK 19029

// The send road's parts of the mail (resources/QuillOff/Road.rc): the
// dialog about attachments left out, and the receipt task's texts.
#define IDD_BAD_ATTACH 1000
#define IDC_BAD_ATTACH_DONT_SHOW 1023
#define IDC_BAD_ATTACH_LIST 1024
#define IDC_BAD_ATTACH_ICON 1025
#define IDS_TASK_RECEIPT_BODY 19006     // "%s": the time sent, then the receipt link
#define IDS_TASK_RECEIPT_SUBJECT 19007  // before ": " and the mail's subject
#define IDS_TASK_RECEIPT_CATEGORY 19032 // the task's category when the receipt names none

// The send wizard: its caption, pages, their controls and pictures, and
// the texts the pages and the template model show.
#define IDS_WIZ_CAPTION 19063
#define IDS_TEMPLATE_PROMPT 19061 // the template combo's entry while none is chosen
#define IDS_ATTACHMENT_PLACEHOLDER                                                                 \
    19062                      // a template document that stands for the mail's attachment
#define IDS_VALUE_PROMPT 19053 // a value row's text while it has no value
#define IDS_ROLE_PROMPT 19054  // a role row's text while no role is chosen
#define IDS_SIGNATURE_TYPES 19055
#define IDS_SEND_MODES 19056
#define IDS_PARALLEL_SIGNING 19058
#define IDS_SIGNING_SEQUENCE 19059
#define IDS_RECEIPT_SUBJECT 19060 // "%s": the request's subject
#define IDS_RECEIPT_CATEGORY 19068

#define IDD_WIZ_INTRO 19042
#define IDC_INTRO_DONT_SHOW 1023

#define IDD_WIZ_TEMPLATE 19040
#define IDC_TEMPLATE_COMBO 19028
#define IDC_TEMPLATE_VALUES 19030
#define IDC_TEMPLATE_VALUES_LABEL 19031

#define IDD_WIZ_SIG_POS 19045
#define IDC_SIGPOS_AUTO 19043
#define IDC_SIGPOS_MANUAL 19044

#define IDD_WIZ_SIGN_SEQ 19044
#define IDC_SIGNSEQ_LIST 9000
#define IDC_SIGNSEQ_ADD_MYSELF 19035
#define IDC_SIGNSEQ_BROADCAST 19037
#define IDC_SIGNSEQ_UP 19032
#define IDC_SIGNSEQ_DOWN 19033
#define IDC_SIGNSEQ_LABEL 19042
#define IDC_SIGNSEQ_SUBJECT 19038
#define IDC_SIGNSEQ_CATEGORY 19039
#define IDC_SIGNSEQ_SUBJECT_LABEL 19040
#define IDC_SIGNSEQ_CATEGORY_LABEL 19041

#define IDB_WIZ_PAGE 19080  // the picture beside each page's text
#define IDB_WIZ_STEP1 19081 // the intro page's steps
#define IDB_WIZ_STEP2 19082
#define IDB_WIZ_STEP3 19083

// The send road: the refusals it shows, the texts of its steps and the
// step dialog with its controls and state icons (resources/QuillOff/Send.rc).
#define IDS_NO_SMTP_RECIPIENT 19011
#define IDS_SUBJECT_UNSPECIFIED 19012
#define IDS_NO_ATTACHMENT_NO_TEMPLATE 19013
#define IDS_BCC_RECIPIENT 19014
#define IDS_INVALID_RECIPIENT 19033
#define IDS_PASSWORD_PLACEHOLDER 19057
#define IDS_TEMPLATES_ONLY_NONE_FITS 19064
#define IDS_BROADCAST_NOT_FORMULATED 19067
#define IDS_SEND_RUNNING 19071      // a second send while one runs
#define IDS_AGENT_NOT_STARTED 19072 // inkProxy.exe could not be started

// The send road's refusals of what the service could not take as it is:
// "%s" the recipient's or the attachment's name.
#define IDS_RECIPIENT_WITHOUT_ADDRESS 19300
#define IDS_EMPTY_ATTACHMENT 19301

#define IDS_STEP_CREATE 19016 // each step: its pending text, then its done text
#define IDS_STEP_CREATED 19017
#define IDS_STEP_UPLOAD 19018 // "%s": the document's name
#define IDS_STEP_UPLOADED 19019
#define IDS_STEP_GET_LINK 19020
#define IDS_STEP_GOT_LINK 19021
#define IDS_STEP_EDIT_LOCATIONS 19022
#define IDS_STEP_LOCATIONS_EDITED 19023
#define IDS_STEP_INVITE 19024
#define IDS_STEP_INVITED 19025
#define IDS_STEP_SET_PARAMS 19069
#define IDS_STEP_PARAMS_SET 19070
#define IDS_STEP_LOCATIONS_QUESTION 19026
#define IDS_STEP_RESUME 19027 // "%s": the waiting step's text
#define IDS_STEPS_SUBMITTED 19028
#define IDS_STEPS_CANCEL_QUESTION 19029

#define IDD_STEPS 19015
#define IDC_STEPS_LIST 19010
#define IDC_STEPS_PROGRESS 1017
#define IDC_STEPS_STATUS 1006
#define IDC_STEPS_PICTURE 19008 // marks where the banner is painted
#define IDB_STEP_ICONS 19017    // the state icons, 16 pixels wide each

// The sync command: its dialog with the list of items, the pictures of the
// items' states and the texts the dialog shows. The dialog's icon is the
// login's (IDI_LOGIN of shared/SharedResource.h).
#define IDD_SYNC 19029
#define IDC_SYNC_MARKER 1004 // the details part of the dialog begins below it
#define IDC_SYNC_DETAILS 1005
#define IDC_SYNC_PROGRESS 1017
#define IDC_SYNC_STATUS 19017
#define IDC_SYNC_LIST 19019
#define IDB_SYNC_STATES 19027 // one 16-pixel picture per item state, magenta transparent
#define IDS_SYNC_DETAILS_SHOW 19034
#define IDS_SYNC_DETAILS_HIDE 19035
#define IDS_SYNC_CLOSE 19036
#define IDS_SYNC_FAILED 19037        // "%s": the item's name
#define IDS_SYNC_NOTHING_TO_DO 19038 // "%s": the item's name
#define IDS_SYNC_UPDATED 19039       // "%s": the item's name
#define IDS_SYNC_COMPLETE 19040
#define IDS_SYNC_IN_PROGRESS 19041
#define IDS_SYNC_TASK_UPDATED 19042
#define IDS_SYNC_NONE 19043
#define IDS_SYNC_UPDATE_OUTLOOK 19044
#define IDS_SYNC_COMPUTING 19045
#define IDS_SYNC_FAILED_BECAUSE 19090    // a failed item's action: "%s" its reason
#define IDS_SYNC_SOME_FAILED 19091       // the end: "%d of %d" items failed
#define IDS_SYNC_TASK_NOT_UPDATED 19092  // the reason when the task takes no status
#define IDS_SYNC_COPY_NOT_ATTACHED 19093 // the reason when the signed copy is not attached

// The receipt import: its progress dialog. The picture is the login's
// banner (IDB_LOGIN_BANNER of shared/SharedResource.h).
#define IDD_RECEIPTS 19007
#define IDC_RECEIPTS_STATUS 1006
#define IDC_RECEIPTS_PROGRESS 1017
#define IDC_RECEIPTS_PICTURE 19008

// The add-in object: the ribbon markup of the explorer and of the mail
// compose window, the ribbon buttons' image, and the mailed-template import.
#define IDR_RIBBON_IMAGE 19001 // RCDATA: a 32 by 32 RGBA PNG
// Looks on high-DPI screens.
#define IDR_RIBBON_IMAGE_64 19002 // RCDATA: the same image drawn at 64 by 64, for 150 % and up
#define IDS_RIBBON_EXPLORER 19050
#define IDS_RIBBON_COMPOSE 19051
#define IDS_TEMPLATE_SUBJECT 19065
#define IDS_TEMPLATE_IMPORT_QUESTION 19066

// One command at a time: what a send or sync refused while another command
// runs says (a second send: IDS_SEND_RUNNING).
#define IDS_SYNC_RUNNING 19340       // a sync runs
#define IDS_IMPORT_RUNNING 19341     // a receipt import runs
#define IDS_SEND_RUNNING_OTHER 19342 // a send runs, a sync was asked for

// The mailed-template import: what the question shows of the template, and
// the refusals of a template that cannot be imported.
#define IDS_TEMPLATE_IMPORT_HOLDS 19320
#define IDS_TEMPLATE_IMPORT_REPLACES 19321
#define IDS_TEMPLATE_IMPORT_NO_SIGNERS 19322
#define IDS_TEMPLATE_IMPORT_MAIL_DOCUMENT 19323
#define IDS_TEMPLATE_REFUSED_NAME 19325
#define IDS_TEMPLATE_IMPORT_NO_DOCUMENTS 19326
