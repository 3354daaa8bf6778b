object Form1: TForm1
  Left = 249
  Top = 114
  Width = 696
  Height = 480
  Caption = 'Panes'
  Color = clBtnFace
  Constraints.MinHeight = 150
  Constraints.MinWidth = 100
  Font.Charset = DEFAULT_CHARSET
  Font.Color = clWindowText
  Font.Height = -11
  Font.Name = 'MS Sans Serif'
  Font.Style = []
  OldCreateOrder = False
  OnClose = FormClose
  PixelsPerInch = 96
  TextHeight = 13
  object Splitter1: TSplitter
    Left = 0
    Top = 57
    Width = 688
    Height = 389
    Cursor = crHSplit
    Align = alClient
  end
  object Panel1: TPanel
    Left = 0
    Top = 0
    Width = 688
    Height = 57
    Align = alTop
    Caption = 'Panel1'
    TabOrder = 0
    object Button1: TButton
      Left = 24
      Top = 8
      Width = 57
      Height = 41
      Caption = '建立'
      TabOrder = 0
      OnClick = Button1Click
    end
    object Button2: TButton
      Left = 88
      Top = 8
      Width = 73
      Height = 41
      Caption = '水平分割'
      TabOrder = 1
      OnClick = Button2Click
    end
    object Button3: TButton
      Left = 168
      Top = 8
      Width = 73
      Height = 41
      Caption = '垂直分割'
      TabOrder = 2
      OnClick = Button3Click
    end
    object Button4: TButton
      Left = 248
      Top = 8
      Width = 73
      Height = 41
      Caption = '刪除視窗'
      TabOrder = 3
      OnClick = Button4Click
    end
    object Button5: TButton
      Left = 328
      Top = 8
      Width = 57
      Height = 41
      Caption = '離開'
      TabOrder = 4
      OnClick = Button5Click
    end
    object Button6: TButton
      Left = 392
      Top = 8
      Width = 49
      Height = 41
      Caption = 'MEMO'
      TabOrder = 5
      OnClick = Button6Click
    end
    object Button7: TButton
      Left = 448
      Top = 8
      Width = 57
      Height = 41
      Caption = 'StringGrid'
      TabOrder = 6
      OnClick = Button7Click
    end
  end
  object Panel2: TPanel
    Left = 0
    Top = 57
    Width = 688
    Height = 389
    Align = alClient
    Caption = 'Panel2'
    DockSite = True
    TabOrder = 1
    OnResize = Panel2Resize
  end
end
